// The value-list and colour texts a GUI module reads from its pins: any UTF-16 text, in an
// array of exactly its length so that a read past the end is caught.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "modules/guiutil/preset_increment_fixer.h"
#include "runtime/gui/mp_gui_drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t units = size / 2;
    auto exact = std::make_unique<char16_t[]>(units);
    if (units != 0) std::memcpy(exact.get(), data, units * 2);
    pq::gui::readHex32(exact.get(), units);
    pq::gui::readDecimal32(exact.get(), units);

    const std::u16string text(exact.get(), units);
    colorFromArgbText(text);

    // A range can hold four thousand million values: the walk is cut short.
    ListValueIterator items(text);
    int steps = 0;
    for (items.first(); !items.done() && steps < 4096; items.next())
        ++steps;
    return 0;
}
