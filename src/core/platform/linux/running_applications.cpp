#include "platform/linux/running_applications.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <unordered_set>
#include <xcb/xcb.h>

#include "platform/path.h"

namespace {

using CReply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Enough for any title a user would match; longer ones are cut, not lost.
constexpr uint32_t kTitleWords = 1024;
constexpr uint32_t kClientListWords = 1U << 16;

xcb_get_property_cookie_t AskProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type, uint32_t words)
{
    return xcb_get_property(connection, 0, window, property, type, 0, words);
}

std::string PropertyText(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    CReply reply(xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 8)
        return {};
    const char* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    if (reply->type != XCB_ATOM_STRING)
        return std::string(bytes, static_cast<std::size_t>(length));
    // A title of type STRING is ISO 8859-1.
    std::string text;
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

bool AllDigits(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

std::string FirstLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// argv[0], up to its terminating NUL; "" for kernel threads and zombies.
std::string FirstArgument(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string argument;
    std::getline(file, argument, '\0');
    return argument;
}

} // namespace

std::vector<std::string> X11WindowTitles()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return {};
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    std::vector<std::string> titles;
    if (xcb_connection_has_error(connection) == 0) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        const xcb_atom_t clientList = InternAtom(connection, "_NET_CLIENT_LIST");
        const xcb_atom_t netWmName = InternAtom(connection, "_NET_WM_NAME");
        const xcb_atom_t utf8 = InternAtom(connection, "UTF8_STRING");
        if (screens.rem > 0 && clientList != XCB_ATOM_NONE) {
            CReply list(xcb_get_property_reply(connection,
                                               AskProperty(connection, screens.data->root, clientList,
                                                           XCB_ATOM_WINDOW, kClientListWords),
                                               nullptr),
                        &std::free);
            if (list && list->format == 32) {
                const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
                const int count = xcb_get_property_value_length(list.get()) / 4;
                // All requests first, then all replies: one round trip for the lot.
                std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
                for (int i = 0; i < count; ++i) {
                    cookies.emplace_back(
                        netWmName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE
                            ? AskProperty(connection, windows[i], netWmName, utf8, kTitleWords)
                            : xcb_get_property_cookie_t{0},
                        AskProperty(connection, windows[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY,
                                    kTitleWords));
                }
                for (const auto& [wide, plain] : cookies) {
                    std::string title = wide.sequence != 0 ? PropertyText(connection, wide) : std::string();
                    std::string fallback = PropertyText(connection, plain);
                    if (title.empty())
                        title = std::move(fallback);
                    if (!title.empty())
                        titles.push_back(std::move(title));
                }
            }
        }
    }
    xcb_disconnect(connection);
    return titles;
}

std::vector<std::string> ProcessNames(const std::string& procRoot)
{
    std::vector<std::string> names;
    DIR* dir = opendir(procRoot.c_str());
    if (dir == nullptr)
        return names;
    std::vector<long> pids;
    while (const dirent* entry = readdir(dir)) {
        if (AllDigits(entry->d_name))
            pids.push_back(std::strtol(entry->d_name, nullptr, 10));
    }
    closedir(dir);
    std::sort(pids.begin(), pids.end());

    std::unordered_set<std::string> seen;
    const auto add = [&](std::string name) {
        if (!name.empty() && seen.insert(name).second)
            names.push_back(std::move(name));
    };
    for (const long pid : pids) {
        const std::string process = JoinPath(procRoot, std::to_string(pid));
        const std::string argument = FirstArgument(JoinPath(process, "cmdline"));
        if (argument.empty())
            continue;
        add(FirstLine(JoinPath(process, "comm")));
        add(FileNameOf(argument));
    }
    return names;
}

CLinuxRunningApplications::CLinuxRunningApplications(std::string procRoot) : m_procRoot(std::move(procRoot))
{
}

std::vector<std::string> CLinuxRunningApplications::ApplicationNames()
{
    std::vector<std::string> names = X11WindowTitles();
    std::vector<std::string> programs = ProcessNames(m_procRoot);
    names.insert(names.end(), std::make_move_iterator(programs.begin()),
                 std::make_move_iterator(programs.end()));
    return names;
}
