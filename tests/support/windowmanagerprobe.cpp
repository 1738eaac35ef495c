#include "windowmanagerprobe.h"

#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace windowmanagerprobe {

std::uint32_t atom(const char* name) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    xcb_disconnect(c);
    return result;
}

std::vector<std::uint32_t> property(std::uint32_t window, const char* name, std::uint32_t type,
                                    std::uint32_t items) {
    const xcb_atom_t named = atom(name);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (window == 0)
        window = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, named, type, 0, items), nullptr);
    std::vector<std::uint32_t> values;
    if (reply) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / int(sizeof(std::uint32_t)));
    }
    std::free(reply);
    xcb_disconnect(c);
    return values;
}

bool windowManagerRunning() {
    return !property(0, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, 1).empty();
}

bool managedByWindowManager(QWidget* window) {
    return !property(static_cast<std::uint32_t>(window->winId()), "WM_STATE", atom("WM_STATE"), 2).empty();
}

} // namespace windowmanagerprobe
