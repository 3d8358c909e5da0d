// Reads a document into a new store: runs RapidJSON's parser over the text
// with the event handler (document_event_handler.hpp) and turns whatever stops
// it into a DocumentError with the position of the fault.
#include <string_view>

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "system/document.hpp"
#include "system/document_design_intent.hpp"
#include "system/document_event_handler.hpp"
#include "system/document_messages.hpp"
#include "system/errors.hpp"
#include "system/json_allocator.hpp"

namespace ovralis {

System from_json(std::string_view text) {
    using reading::position_text;
    using reading::syntax_message;
    // Iterative: no recursion on nesting. Numbers as text: converted by
    // read_json_number, since the library's own conversion misreads some
    // inputs (it turns "0e-72" into 2.7e241). Validated encoding: messages that
    // quote the document stay valid UTF-8.
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag |
                                rapidjson::kParseNumbersAsStringsFlag |
                                rapidjson::kParseValidateEncodingFlag;
    rapidjson::MemoryStream stream(text.data(), text.size());
    reading::DocumentEventHandler handler(stream);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator> parser;
    const rapidjson::ParseResult result = parser.Parse<kFlags>(stream, handler);
    if (const auto& failure = handler.failure()) {
        throw DocumentError(failure->message + position_text(text, failure->offset));
    }
    if (result.IsError()) {
        throw DocumentError(syntax_message(result.Code()) + position_text(text, result.Offset()));
    }
    // The stream reads a NUL byte as its end, so text after one is still unread.
    if (stream.Tell() != text.size()) {
        throw DocumentError(syntax_message(rapidjson::kParseErrorDocumentRootNotSingular) +
                            position_text(text, stream.Tell()));
    }
    System system = handler.take_system();
    read_design_intent(text, system);
    system.analytic_jacobian = false;
    return system;
}

}  // namespace ovralis
