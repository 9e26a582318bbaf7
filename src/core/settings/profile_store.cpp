#include "settings/profile_store.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>

#include "platform/file_replace.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "platform/read_only_file.h"
#include "settings/text_encoding.h"

namespace
{

constexpr size_t kMaxValueBytes = 4095;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kNewLineEnd = "\r\n";

bool IsBlank(char c)
{
    // A stray CR (a line that ended in CR CR LF) counts as a blank, as in the
    // Windows program.
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Fold(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

enum class ELineKind
{
    Other,  // blank, comment or a line without "="
    Header,
    Key,
};

// name receives the section name of a header or the key of an entry, trimmed.
ELineKind Classify(std::string_view text, std::string_view& name)
{
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return ELineKind::Other;
    if (trimmed.front() == '[') {
        const size_t close = trimmed.find(']', 1);
        name = Trim(trimmed.substr(1, close == std::string_view::npos ? close : close - 1));
        return ELineKind::Header;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return ELineKind::Other;
    name = Trim(text.substr(0, equals));
    return ELineKind::Key;
}

bool HasMatchingQuotes(std::string_view text)
{
    return text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
           text.back() == text.front();
}

// The value of an entry line as a reader sees it.
std::string ValueOf(std::string_view lineText)
{
    std::string_view value = Trim(lineText.substr(lineText.find('=') + 1));
    if (HasMatchingQuotes(value))
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Cuts at a character boundary so that a long value never ends in half a character.
std::string CutValue(std::string value)
{
    if (value.size() <= kMaxValueBytes)
        return value;
    size_t end = kMaxValueBytes;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    value.resize(end);
    return value;
}

// The text to store for a value so that reading it back gives the value again: line
// breaks become blanks (a value must never start a new key), and a value that the
// reader would trim or unquote is put in double quotes, which the reader removes.
std::string EncodeValue(std::string_view value)
{
    std::string result(value);
    for (char& c : result) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    if (!result.empty() &&
        (IsBlank(result.front()) || IsBlank(result.back()) || HasMatchingQuotes(result)))
        result = '"' + result + '"';
    return result;
}

int ParseInt(std::string_view text)
{
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

bool IsAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

long long Nanoseconds(const CFileTime& time)
{
    return static_cast<long long>(time.seconds) * 1000000000LL + time.nanoseconds;
}

// What identifies one state of the file: another file put in its place or any write
// changes it.
bool ReadStamp(const std::string& local, bool& exists, std::uint64_t& device, std::uint64_t& inode,
               std::int64_t& size, long long& mtimeNs, long long& ctimeNs)
{
    CFileStatus status;
    if (ReadFollowedStatus(local, status) != 0)
        return false;
    exists = true;
    device = status.device;
    inode = status.identity;
    size = status.size;
    mtimeNs = Nanoseconds(status.modified);
    ctimeNs = Nanoseconds(status.statusChanged);
    return true;
}

}  // namespace

int ResolveLinkTarget(const std::string& path, std::string& target)
{
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        CFileStatus status;
        if (const int error = ReadFileStatus(current, status)) {
            if (error != ENOENT)
                return error;
            target = current;
            return 0;
        }
        if (!status.IsSymbolicLink()) {
            target = current;
            return 0;
        }
        std::string link;
        if (const int error = ReadLinkTarget(current, link))
            return error;
        const std::string parent = ParentPath(current);
        current = link.front() == kPathSeparator || parent.empty() ? link : JoinPath(parent, link);
    }
    return ELOOP;
}

namespace
{

int NotRegularFileError(const CFileStatus& status)
{
    return status.IsFolder() ? EISDIR : EINVAL;
}

// Writes a complete new file beside the old one and renames it over it, so that a
// failure at any point (disk full, killed process, power loss) leaves the old file.
int ReplaceFile(const std::string& path, std::string_view contents)
{
    if (path.empty())
        return ENOENT;
    std::string target;
    if (const int error = ResolveLinkTarget(path, target))
        return error;
    return ReplaceFileContents(target, contents);
}

}  // namespace

CProfileStore::CProfileStore(std::string path) : m_path(std::move(path))
{
    Clear();
}

void CProfileStore::SetPath(std::string path)
{
    // Changes of an open batch belong to the file they were made for.
    if (m_batchDepth > 0 && m_dirty)
        Flush();
    m_path = std::move(path);
    Clear();
    m_stamp = {};
    m_loaded = false;
}

int CProfileStore::GetProfileInt(std::string_view section, std::string_view key,
                                 int defaultValue)
{
    if (m_batchDepth == 0)
        Refresh();
    const CLine* line = FindKey(section, key);
    return line ? ParseInt(ValueOf(line->text)) : defaultValue;
}

std::string CProfileStore::GetProfileString(std::string_view section, std::string_view key,
                                            std::string_view defaultValue)
{
    if (m_batchDepth == 0)
        Refresh();
    const CLine* line = FindKey(section, key);
    return CutValue(line ? ValueOf(line->text) : std::string(defaultValue));
}

bool CProfileStore::WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    return Write(section, key, std::to_string(value));
}

bool CProfileStore::WriteProfileString(std::string_view section, std::string_view key,
                                       std::string_view value)
{
    return Write(section, key, EncodeValue(value));
}

void CProfileStore::BeginBatch()
{
    if (m_batchDepth++ == 0)
        Refresh();
}

bool CProfileStore::EndBatch()
{
    if (m_batchDepth == 0)
        return true;
    if (--m_batchDepth > 0)
        return true;
    const bool allWritten = !m_batchFailed;
    m_batchFailed = false;
    if (!m_dirty)
        return allWritten;
    return Flush() && allWritten;
}

CProfileStore::EEncoding CProfileStore::Encoding()
{
    if (m_batchDepth == 0)
        Refresh();
    return m_encoding;
}

int CProfileStore::ReadError()
{
    if (m_batchDepth == 0)
        Refresh();
    return m_readError;
}

void CProfileStore::Clear()
{
    m_sections.assign(1, CSection{});
    m_sectionIndex.clear();
    m_bom = false;
    m_encoding = EEncoding::Utf8;
}

void CProfileStore::Refresh()
{
    if (!m_loaded || m_readError != 0) {
        Load();
        return;
    }
    CFileStamp stamp;
    std::string local;
    if (!m_path.empty() && ToLocalPath(m_path, local) == 0)
        ReadStamp(local, stamp.exists, stamp.device, stamp.inode, stamp.size, stamp.mtimeNs, stamp.ctimeNs);
    if (!(stamp == m_stamp))
        Load();
}

void CProfileStore::Load()
{
    Clear();
    m_loaded = true;
    m_readError = 0;
    m_stamp = {};
    if (m_path.empty())
        return;

    // A file on a share that is not mounted is unreachable, never the local file of the
    // same letters.
    std::string local;
    if (const int unreachable = ToLocalPath(m_path, local)) {
        m_readError = unreachable;
        return;
    }
    // Opening a FIFO would wait for a writer and a device could act on the open: only a
    // regular file is opened, and non-blocking, in case one took its place meanwhile.
    CFileStatus st;
    if (const int error = ReadFollowedStatus(local, st)) {
        if (error != ENOENT && error != ENOTDIR)
            m_readError = error;
        return;
    }
    if (!st.IsFile()) {
        m_readError = NotRegularFileError(st);
        return;
    }
    CReadOnlyFile file;
    if (const int error = file.Open(local, true)) {
        if (error != ENOENT && error != ENOTDIR)
            m_readError = error;
        return;
    }
    std::string bytes;
    if (const int error = file.ReadStatus(st)) {
        m_readError = error;
    } else if (!st.IsFile()) {
        m_readError = NotRegularFileError(st);
    } else {
        m_stamp = {true, st.device, st.identity, st.size, Nanoseconds(st.modified), Nanoseconds(st.statusChanged)};
        bytes.reserve(static_cast<size_t>(st.size));
        char buffer[65536];
        for (;;) {
            const long long count = file.ReadBlock(buffer, sizeof buffer);
            if (count < 0) {
                m_readError = errno;
                break;
            }
            bytes.append(buffer, static_cast<size_t>(count));
            if (count < static_cast<long long>(sizeof buffer))
                break;
        }
    }
    if (m_readError == 0)
        Parse(bytes);
}

void CProfileStore::Parse(const std::string& bytes)
{
    Clear();
    std::string_view body = bytes;
    if (body.starts_with(kBom)) {
        m_bom = true;
        body.remove_prefix(kBom.size());
    }
    m_encoding = IsValidUtf8(body) ? EEncoding::Utf8 : EEncoding::Cp932;

    size_t pos = 0;
    while (pos < body.size()) {
        CLine line;
        const size_t newline = body.find('\n', pos);
        if (newline == std::string_view::npos) {
            line.raw = body.substr(pos);
            pos = body.size();
        } else {
            line.raw = body.substr(pos, newline - pos);
            line.ending = "\n";
            if (!line.raw.empty() && line.raw.back() == '\r') {
                line.raw.pop_back();
                line.ending = "\r\n";
            }
            pos = newline + 1;
        }
        // Code page 932 has "[", "]" and "\" as second bytes of characters, so a file
        // in it is split into sections and keys only after decoding.
        line.text = m_encoding == EEncoding::Cp932 && !IsAscii(line.raw) ? Cp932ToUtf8(line.raw)
                                                                          : line.raw;
        std::string_view name;
        const ELineKind kind = Classify(line.text, name);
        if (kind == ELineKind::Header) {
            m_sectionIndex.emplace(Fold(name), m_sections.size());
            m_sections.emplace_back();
        } else if (kind == ELineKind::Key) {
            CSection& section = m_sections.back();
            section.keys.emplace(Fold(name), section.lines.size());
        }
        m_sections.back().lines.push_back(std::move(line));
    }
}

const CProfileStore::CLine* CProfileStore::FindKey(std::string_view section,
                                                   std::string_view key) const
{
    const auto found = m_sectionIndex.find(Fold(Trim(section)));
    if (found == m_sectionIndex.end())
        return nullptr;
    const CSection& lines = m_sections[found->second];
    const auto entry = lines.keys.find(Fold(Trim(key)));
    return entry == lines.keys.end() ? nullptr : &lines.lines[entry->second];
}

CProfileStore::CLine CProfileStore::MakeLine(std::string_view text) const
{
    // Invalid UTF-8 in a UTF-8 file would make the whole file read as code page 932.
    CLine line;
    line.text = SanitizeUtf8(text);
    if (m_encoding == EEncoding::Cp932) {
        line.raw = Utf8ToCp932(line.text);
        line.text = Cp932ToUtf8(line.raw);  // what a reader gets back ("?" included)
    } else {
        line.raw = line.text;
    }
    line.ending = kNewLineEnd;
    return line;
}

size_t CProfileStore::AddLine(CSection& section, CLine line)
{
    size_t last = section.lines.size();
    while (last > 0 && Trim(section.lines[last - 1].text).empty())
        --last;
    if (last > 0 && section.lines[last - 1].ending.empty())
        section.lines[last - 1].ending = kNewLineEnd;
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(last), std::move(line));
    return last;
}

bool CProfileStore::Write(std::string_view section, std::string_view key, std::string_view value)
{
    // Names that the reader would split differently would write a key that can never be
    // read back, or one that shadows another.
    section = Trim(section);
    key = Trim(key);
    const bool validSection = !section.empty() &&
                              section.find_first_of("]\r\n") == std::string_view::npos;
    const bool validKey = !key.empty() && key.find_first_of("=\r\n") == std::string_view::npos &&
                          key.front() != '[' && key.front() != ';' && key.front() != '#';
    if (!validSection || !validKey)
        return MarkWritten(false, EINVAL);

    if (m_batchDepth == 0)
        Refresh();
    CLine line = MakeLine(std::string(key) + "=" + std::string(value));
    // A character the file's code page lacks would be stored as "?": the value would be
    // changed without a word. The old line stays, and the caller hears why.
    if (m_encoding == EEncoding::Cp932
        && std::count(line.raw.begin(), line.raw.end(), '?') != std::count(key.begin(), key.end(), '?')
                                                                     + std::count(value.begin(), value.end(), '?'))
        return MarkWritten(false, EILSEQ);
    // New lines are indexed by what a reader of the file finds, which differs from the
    // caller's names where code page 932 cannot hold a character.
    const auto foldedName = [](const CLine& written) {
        std::string_view name;
        Classify(written.text, name);
        return Fold(name);
    };
    const auto found = m_sectionIndex.find(Fold(section));
    if (found != m_sectionIndex.end()) {
        CSection& target = m_sections[found->second];
        const auto entry = target.keys.find(Fold(key));
        if (entry != target.keys.end()) {
            CLine& old = target.lines[entry->second];
            // A line that already reads as this value keeps its spelling and layout.
            if (ValueOf(old.text) == ValueOf(line.text))
                return m_batchDepth > 0 || MarkWritten(true, 0);
            old.raw = std::move(line.raw);
            old.text = std::move(line.text);
        } else {
            std::string name = foldedName(line);
            // Only blank lines follow the new line, so no other key moves.
            const size_t index = AddLine(target, std::move(line));
            target.keys.emplace(std::move(name), index);
        }
    } else {
        for (auto it = m_sections.rbegin(); it != m_sections.rend(); ++it) {
            if (!it->lines.empty()) {
                if (it->lines.back().ending.empty())
                    it->lines.back().ending = kNewLineEnd;
                break;
            }
        }
        CSection added;
        added.lines.push_back(MakeLine("[" + std::string(section) + "]"));
        added.keys.emplace(foldedName(line), added.lines.size());
        m_sectionIndex.emplace(foldedName(added.lines.front()), m_sections.size());
        added.lines.push_back(std::move(line));
        m_sections.push_back(std::move(added));
    }

    if (m_batchDepth > 0) {
        m_dirty = true;
        return true;
    }
    return Flush();
}

bool CProfileStore::Flush()
{
    m_dirty = false;
    int error = m_readError;
    std::string local;
    if (error == 0)
        error = ToLocalPath(m_path, local);
    if (error == 0) {
        std::string contents;
        if (m_bom)
            contents += kBom;
        for (const CSection& section : m_sections) {
            for (const CLine& line : section.lines) {
                contents += line.raw;
                contents += line.ending;
            }
        }
        error = ReplaceFile(local, contents);
    }
    if (error != 0) {
        // What is held must be what the file says: re-read it at the next access.
        m_loaded = false;
        return MarkWritten(false, error);
    }
    if (!ReadStamp(local, m_stamp.exists, m_stamp.device, m_stamp.inode, m_stamp.size, m_stamp.mtimeNs,
                   m_stamp.ctimeNs))
        m_loaded = false;
    return MarkWritten(true, 0);
}

bool CProfileStore::MarkWritten(bool ok, int error)
{
    if (!ok && m_batchDepth > 0)
        m_batchFailed = true;
    m_lastWriteError = ok ? 0 : error;
    if (!ok && m_onWriteError)
        m_onWriteError(m_path, error);
    return ok;
}
