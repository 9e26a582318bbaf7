#pragma once

// The INI settings file. Lookups ignore letter case; writing a key touches only that
// key's line, so comments, unknown keys and foreign sections keep every byte. A file
// that is not valid UTF-8 is taken as code page 932 (files of the original Windows
// program) and stays in that encoding when keys are written.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class CProfileStore
{
public:
    enum class EEncoding
    {
        Utf8,
        Cp932,
    };

    // Called with the path and errno when the file cannot be written.
    using WriteErrorHandler = std::function<void(const std::string& path, int error)>;

    explicit CProfileStore(std::string path = {});

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path);
    void SetWriteErrorHandler(WriteErrorHandler handler) { m_onWriteError = std::move(handler); }

    // A missing key gives the default. Values are trimmed of blanks and lose one pair of
    // enclosing quotes. Integers parse a signed decimal number at the start of the value
    // (clamped to the int range); anything else reads 0. Strings are cut at 4095 bytes.
    // Keys before the first section are never found; of a key or section that occurs
    // twice, the first counts.
    int GetProfileInt(std::string_view section, std::string_view key, int defaultValue);
    std::string GetProfileString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue);
    // Line breaks in a value are written as blanks so that a value can never add keys.
    // A value that reading would trim or unquote is stored in quotes, so that it reads
    // back as written. A key's line is replaced in place, or the key is added after the
    // last non-blank line of its section (the section is added at the end of the file).
    // False, with LastWriteError() and the write-error handler, when the file could not
    // be written, the names could not be read back (EINVAL) or the file's code page
    // cannot hold a character of the line (EILSEQ); the old line or file is kept.
    bool WriteProfileInt(std::string_view section, std::string_view key, int value);
    bool WriteProfileString(std::string_view section, std::string_view key,
                            std::string_view value);

    // Between BeginBatch and EndBatch, writes change the file once, at EndBatch, which is
    // false when that failed or any write of the batch was refused.
    void BeginBatch();
    bool EndBatch();

    EEncoding Encoding();
    // errno of reading the file as it is now: 0 when it was read or does not exist;
    // EISDIR or EINVAL when something other than a regular file is there (it is never
    // opened, so a FIFO cannot block). A file that cannot be read is never replaced.
    int ReadError();
    // errno of the last failed write, 0 when the last write succeeded.
    int LastWriteError() const { return m_lastWriteError; }

private:
    struct CLine
    {
        std::string raw;     // bytes as in the file, without the line end (and the BOM)
        std::string ending;  // "\r\n", "\n" or "" (last line without a line end)
        std::string text;    // raw decoded to UTF-8
    };
    // A section header line and the lines up to the next header. The lines before the
    // first header form a section without a name that is never searched.
    struct CSection
    {
        std::vector<CLine> lines;
        // Folded key -> index in lines of its first line. Keys are only ever inserted
        // after the last non-blank line, so the indices of key lines never shift.
        std::unordered_map<std::string, size_t> keys;
    };
    struct CFileStamp
    {
        bool exists = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        long long mtimeNs = 0;
        long long ctimeNs = 0;
        bool operator==(const CFileStamp&) const = default;
    };

    void Refresh();
    void Load();
    void Parse(const std::string& bytes);
    void Clear();
    bool Flush();
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    // The key's line, or nullptr.
    const CLine* FindKey(std::string_view section, std::string_view key) const;
    CLine MakeLine(std::string_view text) const;
    // Inserts after the last non-blank line of the section; gives the line's index.
    size_t AddLine(CSection& section, CLine line);
    bool MarkWritten(bool ok, int error);

    std::string m_path;
    std::vector<CSection> m_sections;
    std::unordered_map<std::string, size_t> m_sectionIndex;  // folded name -> first section
    bool m_bom = false;
    EEncoding m_encoding = EEncoding::Utf8;
    CFileStamp m_stamp;
    bool m_loaded = false;
    int m_readError = 0;  // the file exists but could not be read: never overwrite it
    int m_batchDepth = 0;
    bool m_dirty = false;
    bool m_batchFailed = false;  // a write of the open batch was refused
    int m_lastWriteError = 0;
    WriteErrorHandler m_onWriteError;
};

// Follows symbolic links to the path the file itself lives at, so that writes replace
// the file a link points to instead of the link. A dangling link gives the path the file
// is to be created at. 0, or errno (ELOOP for a chain that does not end).
int ResolveLinkTarget(const std::string& path, std::string& target);

// Keeps a batch open for the lifetime of a scope.
class CProfileBatch
{
public:
    explicit CProfileBatch(CProfileStore& store) : m_store(store) { m_store.BeginBatch(); }
    ~CProfileBatch() { m_store.EndBatch(); }
    CProfileBatch(const CProfileBatch&) = delete;
    CProfileBatch& operator=(const CProfileBatch&) = delete;

private:
    CProfileStore& m_store;
};
