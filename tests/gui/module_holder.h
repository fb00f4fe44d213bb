// Creates GUI modules as a host would and releases them at the end of a test.
#pragma once

#include <memory>
#include <string>

#include "runtime/audio/edition.h"
#include "tests/gui/fake_gui_host.h"

namespace guitest {

struct Releaser {
    template <class M> void operator()(M* m) const { m->release(); }
};
template <class M> using Held = std::unique_ptr<M, Releaser>;

// A legacy module handed the host as each edition's factory does: the newest through
// setHost right after construction, the earlier at creation, with the first reference
// added afterwards.
template <class M> Held<M> makeLegacy(FakeGuiHost& host) {
    std::unique_ptr<M> m(new M());
    m->attachHost(host.unknown());
    if constexpr (pq::kEarlierEdition) m->addRef();
    return Held<M>(m.release());
}

// A module of the newest interface; the host calls setHost itself.
template <class M> Held<M> makeGraphics(FakeGuiHost& host) {
    Held<M> m(new M());
    m->setHost(host.unknown());
    return m;
}

// Delivers a value as a host does: setPinValue, then notifyPin.
template <class M, class T> void deliver(M& module, int32_t pin, const T& v) {
    module.setPinValue(pin, 0, sizeof(T), &v);
    module.notifyPin(pin, 0);
}
template <class M> void deliverText(M& module, int32_t pin, const std::u16string& text) {
    module.setPinValue(pin, 0, static_cast<int32_t>(text.size() * 2), text.data());
    module.notifyPin(pin, 0);
}

} // namespace guitest
