// The binary boundary shared by every library of the pack and every host that loads one.
//
// Interfaces are abstract classes whose virtual functions stand in slot order and hold no
// data, so that the Itanium C++ ABI lays out exactly the host's slot tables. Slots that the
// host never names are kept as placeholders so that later slots keep their numbers.
// Virtual destructors of implementation classes come after every host-facing slot.
// Placeholder slots of the interfaces a host implements answer kMpNoSupport by default.
//
// Threads: audio-module calls arrive on the host's audio thread, GUI-module calls on its GUI
// thread; one object is never called from two threads at once. Ownership of returned
// interface pointers: every pointer handed out by queryInterface or by a create operation
// carries one reference that the receiver must release.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>

namespace gmpi {

// Results of every operation that crosses the boundary.
inline constexpr int32_t kMpOk = 0;
inline constexpr int32_t kMpFail = -1;      // attempted and failed (constructor threw, no such pin)
inline constexpr int32_t kMpNoSupport = -2; // interface, identifier or subtype not supported

// Kinds of object a registry entry creates.
inline constexpr int32_t kSubtypeAudio = 0;
inline constexpr int32_t kSubtypeGuiLegacy = 1;
inline constexpr int32_t kSubtypeGuiGraphics = 2;

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

inline bool operator==(const Guid& a, const Guid& b) {
    return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

// {00000000-0000-C000-0000-000000000046}
inline constexpr Guid MP_IID_UNKNOWN = {0x00000000, 0x0000, 0xC000, {0, 0, 0, 0, 0, 0, 0, 0x46}};

class IMpUnknown {
public:
    // [any thread] On success stores an interface pointer with one added reference in *out;
    // otherwise stores null and answers kMpNoSupport.
    virtual int32_t queryInterface(const Guid& iid, void** out) = 0;
    virtual int32_t addRef() = 0;
    virtual int32_t release() = 0;
};

// Event record of IMpPlugin::process, a singly linked list sorted by time (40 bytes).
struct MpEvent {
    int32_t time;    // sample offset within the block
    int32_t type;    // one of the kEvent... codes
    int32_t pinId;   // target pin (types 100 to 103)
    int32_t size;    // payload byte count (type 100)
    int32_t data[2]; // payload when extraData is null (up to 8 bytes)
    char* extraData; // payload when it does not fit inline
    MpEvent* next;
};
static_assert(sizeof(MpEvent) == 40);

inline constexpr int32_t kEventPinSet = 100;
inline constexpr int32_t kEventPinStreamingStart = 101;
inline constexpr int32_t kEventPinStreamingStop = 102;
inline constexpr int32_t kEventPinOther = 103; // forwarded to the pin only
inline constexpr int32_t kEventGraphStart = 104;

// Pin datatypes of audio modules (subtype 0).
inline constexpr int32_t kDatatypeInt = 0;
inline constexpr int32_t kDatatypeAudio = 5;
inline constexpr int32_t kDatatypeFloat = 6;
inline constexpr int32_t kDatatypeBlob = 10;

// Pin datatypes of GUI modules (subtypes 1 and 2).
inline constexpr int32_t kGuiPinText = 1;
inline constexpr int32_t kGuiPinBool = 4;
inline constexpr int32_t kGuiPinFloat = 6;
inline constexpr int32_t kGuiPinInt = 8;
inline constexpr int32_t kGuiPinBlob = 10;

inline constexpr int32_t kDirectionIn = 0;
inline constexpr int32_t kDirectionOut = 1;

// Pointer and mouse event flags: Shift counts as held while this bit is set.
inline constexpr int32_t kPointerFlagShift = 0x10000;

inline constexpr std::string_view kUnknownDatatypeName = "unknown";

struct DatatypeName {
    int32_t code;
    std::string_view name;
};
inline constexpr DatatypeName kAudioDatatypeNames[] = {
    {kDatatypeInt, "int"}, {kDatatypeAudio, "audio"}, {kDatatypeFloat, "float"}, {kDatatypeBlob, "blob"}};
inline constexpr DatatypeName kGuiDatatypeNames[] = {{kGuiPinText, "text"},
                                                     {kGuiPinBool, "bool"},
                                                     {kGuiPinFloat, "float"},
                                                     {kGuiPinInt, "int"},
                                                     {kGuiPinBlob, "blob"}};

// The datatypes of a module of `subtype` with their words in module descriptions and messages;
// the codes differ by side.
constexpr std::span<const DatatypeName> datatypeNames(int32_t subtype) {
    if (subtype == kSubtypeAudio) return kAudioDatatypeNames;
    return kGuiDatatypeNames;
}

constexpr std::string_view datatypeName(int32_t datatype, int32_t subtype) {
    for (const DatatypeName& d : datatypeNames(subtype))
        if (d.code == datatype) return d.name;
    return kUnknownDatatypeName;
}

constexpr std::string_view directionName(int32_t direction) {
    return direction == kDirectionOut ? "out" : "in";
}

} // namespace gmpi

namespace pq {
// When an audio module may ask the host to let it sleep.
enum class SleepMode : int32_t {
    Automatic = -1, // once no input streams and the outputs hold
    Never = 0,
    Always = 1, // once the outputs hold, whatever streams
};

// Whether `iid` is one of `ids`.
inline bool isOneOf(const gmpi::Guid& iid, std::initializer_list<gmpi::Guid> ids) {
    for (const gmpi::Guid& id : ids)
        if (iid == id) return true;
    return false;
}

// The answer of every queryInterface: `found` is the object's pointer for the interface asked
// for, or null when it offers none. A found interface is stored in *out with one reference
// added (objects that are not counted answer addRef with a constant) and kMpOk answered;
// otherwise *out is null and the answer kMpNoSupport. A null `out` stores nothing.
template <class Interface> int32_t answerQuery(void** out, Interface* found) {
    if (out == nullptr) return gmpi::kMpNoSupport;
    *out = found;
    if (found == nullptr) return gmpi::kMpNoSupport;
    found->addRef();
    return gmpi::kMpOk;
}

// The release of every reference-counted object: drops one reference and deletes the object
// with the last one. Answers the new count. Counts are plain integers: one thread at a time.
template <class T> int32_t releaseReference(int32_t& count, T* object) {
    if (--count != 0) return count;
    delete object;
    return 0;
}
} // namespace pq
