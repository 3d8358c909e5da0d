// The SAX handler that turns RapidJSON's parse events into a store.
//
// The parser tokenises the text without recursion and reports each token as
// an event; the handler keeps an explicit stack of frames, one per open array
// or object, and decides from the innermost frame what each value must be. No
// document tree is built, so neither parsing nor clean-up can recurse however
// deep the input nests, and every event knows its position in the text for
// the error messages.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "system/document_shapes.hpp"
#include "system/system.hpp"

namespace ovralis::reading {

// Arrays and objects may nest this deep, skipped values included.
inline constexpr std::size_t kNestingLimit = 128;

// A handler method that returns false stops the parse; failure() then holds
// why and where.
class DocumentEventHandler
    : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, DocumentEventHandler> {
public:
    struct Failure {
        std::string message;
        std::size_t offset;
    };

    explicit DocumentEventHandler(const rapidjson::MemoryStream& stream) : stream_(stream) {}

    const std::optional<Failure>& failure() const { return failure_; }
    System take_system() { return std::move(system_); }

    bool Null();
    bool Bool(bool flag);
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy);
    bool String(const char* text, rapidjson::SizeType length, bool copy);
    bool StartObject();
    bool StartArray();
    bool EndObject(rapidjson::SizeType members);
    bool EndArray(rapidjson::SizeType elements);
    bool Key(const char* text, rapidjson::SizeType length, bool copy);

private:
    enum class FrameKind : std::uint8_t {
        RecordObject,  // a record given by name
        RecordArray,   // a record given as its values in field order
        EntityList,
        ConstraintList,
        Constraint,  // {"Kind": ...}, kind not yet known until its key arrives
        Ignored,     // inside the value of an unknown member
    };

    using Values = std::array<FieldValue, kMaxFields>;

    // One open array or object.
    struct Frame {
        explicit Frame(FrameKind kind, const Record* record = nullptr)
            : kind(kind), record(record) {}

        FrameKind kind;
        // RecordObject, RecordArray: the record read; EntityList: the elements'
        // record; Constraint: the field record of the named kind.
        const Record* record = nullptr;
        std::size_t count = 0;  // RecordArray: values read so far
        std::optional<std::size_t>
            field;  // RecordObject: whose value comes next (none: unknown member)
        std::bitset<kMaxFields> seen;  // RecordObject: members given so far
        Values values{};
    };

    // Where the next value of the document goes.
    struct Slot {
        Expected expected;
        FieldValue* target = nullptr;  // scalar fields of a record
    };

    bool fail(std::string message);
    std::optional<Slot> next_slot();
    bool scalar(const Scalar& value);
    bool start(FrameKind as);
    bool push(Frame frame);
    bool member_key(Frame& top, std::string_view key);
    bool kind_key(Frame& top, std::string_view key);
    bool end();
    bool complete(const Record& record, const Values& values);

    const rapidjson::MemoryStream& stream_;
    std::size_t offset_ = 0;  // the character the current event ends at
    std::vector<Frame> frames_;
    System system_;
    std::optional<Failure> failure_;
};

}  // namespace ovralis::reading
