#include "platform/qt/X11WindowProbe.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

#include <algorithm>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <unordered_set>

namespace orv {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// A window may vanish between listing it and asking about it; such errors are
// expected and must not reach Qt's event queue as warnings.
template <typename T, typename Cookie, typename Fetch>
Reply<T> Wait(xcb_connection_t* c, Cookie cookie, Fetch fetch) {
    xcb_generic_error_t* error = nullptr;
    Reply<T> reply(fetch(c, cookie, &error));
    std::free(error);
    return reply;
}

xcb_connection_t* QtConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

struct Atoms {
    xcb_atom_t ClientListStacking = XCB_ATOM_NONE;
    xcb_atom_t ClientList = XCB_ATOM_NONE;
    xcb_atom_t NetWmName = XCB_ATOM_NONE;
    xcb_atom_t Utf8String = XCB_ATOM_NONE;
};

Atoms InternAtoms(xcb_connection_t* c) {
    auto ask = [c](std::string_view name) {
        return xcb_intern_atom(c, 1, static_cast<std::uint16_t>(name.size()), name.data());
    };
    const auto stacking = ask("_NET_CLIENT_LIST_STACKING");
    const auto clientList = ask("_NET_CLIENT_LIST");
    const auto netWmName = ask("_NET_WM_NAME");
    const auto utf8 = ask("UTF8_STRING");
    auto atom = [c](xcb_intern_atom_cookie_t cookie) {
        const auto reply = Wait<xcb_intern_atom_reply_t>(c, cookie, xcb_intern_atom_reply);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    return {atom(stacking), atom(clientList), atom(netWmName), atom(utf8)};
}

xcb_get_property_cookie_t AskProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                      std::uint32_t maxWords = 1024) {
    return xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxWords);
}

Reply<xcb_get_property_reply_t> WaitProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    auto reply = Wait<xcb_get_property_reply_t>(c, cookie, xcb_get_property_reply);
    if (reply && reply->type == XCB_ATOM_NONE) reply.reset();  // property not set
    return reply;
}

std::string_view PropertyBytes(const xcb_get_property_reply_t& reply) {
    if (reply.format != 8) return {};
    return {static_cast<const char*>(xcb_get_property_value(&reply)),
            static_cast<std::size_t>(xcb_get_property_value_length(&reply))};
}

// WM_CLASS holds "instance\0class\0"; the class is the second string.
std::string ClassPart(std::string_view wmClass) {
    const auto nul = wmClass.find('\0');
    if (nul == std::string_view::npos) return {};
    wmClass.remove_prefix(nul + 1);
    return std::string(wmClass.substr(0, wmClass.find('\0')));
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_query_tree_cookie_t cookie) {
    const auto reply = Wait<xcb_query_tree_reply_t>(c, cookie, xcb_query_tree_reply);
    if (!reply) return {};
    const xcb_window_t* first = xcb_query_tree_children(reply.get());
    return {first, first + xcb_query_tree_children_length(reply.get())};
}

// A list of windows the window manager keeps on the root (none when it keeps none).
std::vector<xcb_window_t> WindowList(xcb_connection_t* c, xcb_window_t root, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE) return {};
    const auto reply = WaitProperty(c, AskProperty(c, root, property, 1u << 16));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32) return {};
    const auto* first = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    return {first, first + xcb_get_property_value_length(reply.get()) / 4};
}

// The X server and the window manager both list windows bottom to top.
std::vector<xcb_window_t> TopmostFirst(std::vector<xcb_window_t> windows) {
    std::reverse(windows.begin(), windows.end());
    return windows;
}

// The root's children topmost first. A reparenting window manager puts each
// client inside a frame of its own, and frames carry no class: the clients
// are one level further down, listed after their frame.
std::vector<xcb_window_t> RootWindows(xcb_connection_t* c, xcb_window_t root) {
    const auto children = TopmostFirst(Children(c, xcb_query_tree(c, root)));
    std::vector<xcb_get_property_cookie_t> classes;
    classes.reserve(children.size());
    for (const auto child : children) classes.push_back(AskProperty(c, child, XCB_ATOM_WM_CLASS));

    std::vector<std::pair<xcb_window_t, xcb_query_tree_cookie_t>> frames;
    for (std::size_t i = 0; i < children.size(); ++i)
        if (!WaitProperty(c, classes[i])) frames.emplace_back(children[i], xcb_query_tree(c, children[i]));

    std::vector<xcb_window_t> windows;
    std::size_t frame = 0;
    for (const auto child : children) {
        windows.push_back(child);
        if (frame < frames.size() && frames[frame].first == child) {
            for (const auto inner : TopmostFirst(Children(c, frames[frame].second))) windows.push_back(inner);
            ++frame;
        }
    }
    return windows;
}

std::vector<TopLevelWindow> Describe(xcb_connection_t* c, const std::vector<xcb_window_t>& windows,
                                     const Atoms& atoms) {
    struct Pending {
        xcb_get_property_cookie_t Class, NetName, Name;
    };
    std::vector<Pending> pending;
    pending.reserve(windows.size());
    for (const auto window : windows) {
        pending.push_back({AskProperty(c, window, XCB_ATOM_WM_CLASS), AskProperty(c, window, atoms.NetWmName),
                           AskProperty(c, window, XCB_ATOM_WM_NAME)});
    }
    std::vector<TopLevelWindow> result;
    result.reserve(windows.size());
    for (const auto& p : pending) {
        TopLevelWindow window;
        if (const auto wmClass = WaitProperty(c, p.Class)) window.ClassName = ClassPart(PropertyBytes(*wmClass));
        const auto netName = WaitProperty(c, p.NetName);
        const auto name = WaitProperty(c, p.Name);
        if (netName && atoms.NetWmName != XCB_ATOM_NONE && netName->type == atoms.Utf8String)
            window.Title = std::string(PropertyBytes(*netName));
        else if (name && name->type == XCB_ATOM_STRING)
            window.Title = Latin1ToUtf8(PropertyBytes(*name));
        else if (name)
            window.Title = std::string(PropertyBytes(*name));
        result.push_back(std::move(window));
    }
    return result;
}

}  // namespace

void X11WindowProbe::ConnectionCloser::operator()(xcb_connection_t* connection) const {
    xcb_disconnect(connection);
}

X11WindowProbe::X11WindowProbe() = default;
X11WindowProbe::~X11WindowProbe() = default;

xcb_connection_t* X11WindowProbe::Connection() {
    if (auto* qt = QtConnection()) return qt;
    if (own_ && xcb_connection_has_error(own_.get())) own_.reset();  // the server went away
    if (!own_) {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) return nullptr;
        own_.reset(xcb_connect(nullptr, nullptr));
        if (xcb_connection_has_error(own_.get())) {
            own_.reset();
            return nullptr;
        }
    }
    return own_.get();
}

std::vector<TopLevelWindow> X11WindowProbe::TopLevelWindows() {
    // The TV detection thread asks too; one caller at a time keeps our own connection simple.
    const std::lock_guard lock(mutex_);
    xcb_connection_t* c = Connection();
    if (!c) return {};
    if (atomsConnection_ != c || std::find(atoms_.begin(), atoms_.end(), XCB_ATOM_NONE) != atoms_.end()) {
        const Atoms asked = InternAtoms(c);
        atoms_ = {asked.ClientListStacking, asked.ClientList, asked.NetWmName, asked.Utf8String};
        atomsConnection_ = c;
    }
    const Atoms atoms{atoms_[0], atoms_[1], atoms_[2], atoms_[3]};

    std::vector<xcb_window_t> windows;
    std::unordered_set<xcb_window_t> seen;
    auto add = [&](const std::vector<xcb_window_t>& more) {
        for (const auto window : more)
            if (seen.insert(window).second) windows.push_back(window);
    };
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(c)); screens.rem; xcb_screen_next(&screens)) {
        const xcb_window_t root = screens.data->root;
        // The manager's stacking list where there is one; the server's own order
        // then adds what the manager does not list, and the plain client list
        // any client nested deeper than one frame.
        add(TopmostFirst(WindowList(c, root, atoms.ClientListStacking)));
        add(RootWindows(c, root));
        add(WindowList(c, root, atoms.ClientList));
    }
    return Describe(c, windows, atoms);
}

void X11WindowProbe::SetWindowClass(unsigned long x11Window, const std::string& instance,
                                    const std::string& className) {
    xcb_connection_t* c = QtConnection();
    if (!c || x11Window == 0) return;
    std::string value = instance;
    value += '\0';
    value += className;
    value += '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(x11Window), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(value.size()), value.data());
    xcb_flush(c);
}

}  // namespace orv
