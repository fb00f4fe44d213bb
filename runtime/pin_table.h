// Pin tables: each module describes its pins once, and everything else is produced from that.
//
// How to describe a module (audio or GUI):
//
//   1. In the module's header, inside the class, name the pins and list them in one table:
//
//        class BoolText : public MpGuiBase {
//        public:
//            enum Pin : int32_t { kInput, kFalseText, kTrueText, kTextOut };
//            static constexpr pq::PinDescription kPins[] = {
//                {kInput, "Input", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
//                {kFalseText, "False Text", gmpi::kGuiPinText, gmpi::kDirectionIn},
//                ...
//            };
//            static constexpr pq::ModuleDescription kDescription{"Bool Text", gmpi::kSubtypeGuiLegacy,
//                                                               "BoolText", kPins};
//
//      A row holds the pin's id, its name as hosts show it, its datatype code (the audio or the
//      GUI set, by the module's side), its direction and, where it has one, its default as
//      text. The identifier and the subtype are those the factory registers the module under;
//      a module registered under another subtype in the single-module libraries says so by
//      name: pq::kSingleModuleBuild ? gmpi::kSubtypeGuiLegacy : gmpi::kSubtypeGuiGraphics
//      (runtime/audio/edition.h).
//
//   2. The constructor attaches the pin members in table order, GUI pins with their change
//      routine where they have one:
//
//        pq::attachPins<kPins>(this, pq::notifying(input, &BoolText::update), falseText, ...);
//
//      The build checks that there is one member per row and that each member's datatype
//      (and, for audio pins, direction) is the row's.
//
//   3. The deliverable's registration list names the class: PQ_REGISTER_MODULE(BoolText);
//      this registers it under the description's identifier and subtype and puts its
//      description into the library file (below).
//
//   4. Tests and benchmarks name pins by the enum (BoolText::kTextOut) and find names, types and
//      defaults in kPins.
//
// Adding a pin is then a row, an enum name, a member and its attachment.
//
// What the library file carries. The section "pq_plugin_xml" holds NUL-ended UTF-8 XML
// documents that a host reads without loading the library. Every registered module has one
// document in the pack's own form:
//
//   <?xml version="1.0" encoding="utf-8"?>
//   <Module identifier="Bool Text" subtype="1" class="BoolText">
//     <Pin id="0" name="Input" datatype="bool" direction="in" default="false"/>
//     ...
//   </Module>
//
// datatype is one of int, audio, float, blob (audio modules, subtype 0) or text, bool,
// float, int, blob (GUI modules); direction is in or out; default appears where the pin has
// one. A module with a plug-in list entry (kDescription's fifth member: plugin id, name,
// category and help page) also carries its description in the host's plug-in list form, pins
// under <Audio>: audio pins as datatype="float" rate="audio", a direction written for outputs
// and for control pins, then the row's further attributes, and the row's comment on a line of
// its own before it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "runtime/audio/mp_abi.h"

namespace pq {

struct PinDescription {
    int32_t id;
    std::string_view name;
    int32_t datatype;                   // a gmpi::kDatatype... code (audio modules) or gmpi::kGuiPin... code
    int32_t direction;                  // gmpi::kDirectionIn or gmpi::kDirectionOut
    std::string_view defaultValue = {}; // as text; empty when the pin has none
    // Plug-in list form only: attributes written as they stand after the default, and a
    // comment written before the pin.
    std::string_view attributes = {};
    std::string_view comment = {};
};

// The module's entry in the host's plug-in list form.
struct PluginListEntry {
    std::string_view id;
    std::string_view name;
    std::string_view category;
    std::string_view helpUrl;
};

struct ModuleDescription {
    std::string_view identifier; // registry identifier, ASCII
    int32_t subtype;             // gmpi::kSubtype...
    std::string_view className;
    std::span<const PinDescription> pins;
    PluginListEntry pluginList = {}; // none while its id is empty
};

namespace detail {

struct CountingSink {
    size_t size = 0;
    constexpr void put(char) { ++size; }
};

template <size_t N> struct ArraySink {
    std::array<char, N> bytes{};
    size_t size = 0;
    constexpr void put(char c) { bytes[size++] = c; }
};

template <class Sink> constexpr void write(Sink& sink, std::string_view text) {
    for (char c : text)
        sink.put(c);
}

template <class Sink> constexpr void writeEscaped(Sink& sink, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            write(sink, "&amp;");
            break;
        case '<':
            write(sink, "&lt;");
            break;
        case '>':
            write(sink, "&gt;");
            break;
        case '"':
            write(sink, "&quot;");
            break;
        default:
            sink.put(c);
        }
    }
}

template <class Sink> constexpr void writeNumber(Sink& sink, int32_t value) {
    char digits[12] = {};
    int count = 0;
    int64_t v = value;
    if (v < 0) {
        sink.put('-');
        v = -v;
    }
    do {
        digits[count++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (count > 0)
        sink.put(digits[--count]);
}

template <class Sink>
constexpr void writeAttribute(Sink& sink, std::string_view name, std::string_view value) {
    sink.put(' ');
    write(sink, name);
    write(sink, "=\"");
    writeEscaped(sink, value);
    sink.put('"');
}

template <class Sink> constexpr void writeAttribute(Sink& sink, std::string_view name, int32_t value) {
    sink.put(' ');
    write(sink, name);
    write(sink, "=\"");
    writeNumber(sink, value);
    sink.put('"');
}

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

template <class Sink> constexpr void writeModuleForm(Sink& sink, const ModuleDescription& d) {
    write(sink, kXmlDeclaration);
    write(sink, "<Module");
    writeAttribute(sink, "identifier", d.identifier);
    writeAttribute(sink, "subtype", d.subtype);
    writeAttribute(sink, "class", d.className);
    write(sink, ">\n");
    for (const PinDescription& pin : d.pins) {
        write(sink, "  <Pin");
        writeAttribute(sink, "id", pin.id);
        writeAttribute(sink, "name", pin.name);
        writeAttribute(sink, "datatype", gmpi::datatypeName(pin.datatype, d.subtype));
        writeAttribute(sink, "direction", gmpi::directionName(pin.direction));
        if (!pin.defaultValue.empty()) writeAttribute(sink, "default", pin.defaultValue);
        write(sink, "/>\n");
    }
    write(sink, "</Module>\n");
    sink.put('\0');
}

// The plug-in list's own datatype words.
constexpr std::string_view pluginListDatatype(int32_t datatype, int32_t subtype) {
    if (subtype == gmpi::kSubtypeAudio)
        return datatype == gmpi::kDatatypeAudio ? "float" : gmpi::datatypeName(datatype, subtype);
    return datatype == gmpi::kGuiPinText ? "string" : gmpi::datatypeName(datatype, subtype);
}

template <class Sink> constexpr void writePluginListForm(Sink& sink, const ModuleDescription& d) {
    const PluginListEntry& entry = d.pluginList;
    const bool audio = d.subtype == gmpi::kSubtypeAudio;
    write(sink, kXmlDeclaration);
    write(sink, "<PluginList>\n  <Plugin");
    writeAttribute(sink, "id", entry.id);
    writeAttribute(sink, "name", entry.name);
    writeAttribute(sink, "category", entry.category);
    writeAttribute(sink, "helpUrl", entry.helpUrl);
    write(sink, audio ? ">\n    <Audio>\n" : ">\n    <GUI>\n");
    for (const PinDescription& pin : d.pins) {
        const bool audioRate = audio && pin.datatype == gmpi::kDatatypeAudio;
        if (!pin.comment.empty()) {
            write(sink, "      <!-- ");
            write(sink, pin.comment);
            write(sink, " -->\n");
        }
        write(sink, "      <Pin");
        writeAttribute(sink, "id", pin.id);
        writeAttribute(sink, "name", pin.name);
        writeAttribute(sink, "datatype", pluginListDatatype(pin.datatype, d.subtype));
        if (audioRate) writeAttribute(sink, "rate", "audio");
        if (!audioRate || pin.direction == gmpi::kDirectionOut)
            writeAttribute(sink, "direction", gmpi::directionName(pin.direction));
        if (!pin.defaultValue.empty()) writeAttribute(sink, "default", pin.defaultValue);
        if (!pin.attributes.empty()) {
            sink.put(' ');
            write(sink, pin.attributes);
        }
        write(sink, "/>\n");
    }
    write(sink, audio ? "    </Audio>\n" : "    </GUI>\n");
    write(sink, "  </Plugin>\n</PluginList>\n");
    sink.put('\0');
}

template <class Sink> constexpr void writeDescriptions(Sink& sink, const ModuleDescription& d) {
    writeModuleForm(sink, d);
    if (!d.pluginList.id.empty()) writePluginListForm(sink, d);
}

template <const ModuleDescription& D> constexpr size_t descriptionSize() {
    CountingSink sink;
    writeDescriptions(sink, D);
    return sink.size;
}

// The identifier as 16-bit code units with a terminator.
template <const ModuleDescription& D> constexpr auto wideIdentifier() {
    std::array<char16_t, D.identifier.size() + 1> wide{};
    for (size_t i = 0; i < D.identifier.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(D.identifier[i]));
    return wide;
}

} // namespace detail

// The library file's description documents of a module, NUL-ended, ready for the section.
template <const ModuleDescription& D> constexpr auto descriptionText() {
    detail::ArraySink<detail::descriptionSize<D>()> sink;
    detail::writeDescriptions(sink, D);
    return sink.bytes;
}

// Checks a table: ids unique, datatype and direction codes known for the module's side.
constexpr bool isWellFormed(const ModuleDescription& d) {
    for (size_t i = 0; i < d.pins.size(); ++i) {
        const PinDescription& pin = d.pins[i];
        if (gmpi::datatypeName(pin.datatype, d.subtype) == gmpi::kUnknownDatatypeName) return false;
        if (pin.direction != gmpi::kDirectionIn && pin.direction != gmpi::kDirectionOut) return false;
        for (size_t j = 0; j < i; ++j)
            if (d.pins[j].id == pin.id) return false;
    }
    for (char c : d.identifier)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return !d.identifier.empty();
}

// A GUI pin member together with the change routine that runs when the host notifies it.
template <class PinType, class Routine> struct NotifyingPin {
    PinType& pin;
    Routine routine;
};
template <class PinType, class Routine>
constexpr NotifyingPin<PinType, Routine> notifying(PinType& pin, Routine routine) {
    return {pin, routine};
}

namespace detail {

template <class T> struct PinOf { using type = T; };
template <class P, class R> struct PinOf<NotifyingPin<P, R>> { using type = P; };

template <class Module, class T> void attachOne(Module* module, int32_t id, T& pin) {
    if constexpr (requires { pin.routine; })
        pin.pin.attach(module, id, pin.routine);
    else
        pin.attach(module, id);
}

// Pins that know their direction (audio pins) are checked against it too.
template <class P> constexpr bool matches(const PinDescription& row) {
    if (P::kDatatype != row.datatype) return false;
    if constexpr (requires { P::kDirection; }) return P::kDirection == row.direction;
    return true;
}

template <const auto& Table, class... Pins, size_t... I> constexpr bool allMatch(std::index_sequence<I...>) {
    return (matches<typename PinOf<std::remove_cvref_t<Pins>>::type>(Table[I]) && ...);
}

} // namespace detail

// Attaches the module's pin members under the ids of `Table`, in table order.
template <const auto& Table, class Module, class... Pins> void attachPins(Module* module, Pins&&... pins) {
    static_assert(sizeof...(Pins) == std::size(Table), "one pin member for each row of the table");
    static_assert(detail::allMatch<Table, Pins...>(std::index_sequence_for<Pins...>{}),
                  "a pin member's datatype or direction differs from its row");
    size_t row = 0;
    (detail::attachOne(module, Table[row++].id, pins), ...);
}

} // namespace pq
