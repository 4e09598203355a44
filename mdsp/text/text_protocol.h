// The plain text protocol: the three requests, the notices, the answer
// parser and the response queue.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mdsp.h"

namespace mdsp {

struct ClientState;

inline constexpr size_t kConfigureTextCapacity = MDSP_CONFIGURE_TEXT_SIZE;
inline constexpr size_t kWinkTextCapacity = 32;

// Requests; false with LastError set on failure. Each takes the socket lock
// for its send (the scan takes the queue lock before, to empty the lists).
bool SendModuleScan(ClientState& client);
bool SendTextConfigure(ClientState& client, const MdspConfigureRequest& request);
bool SendTextWink(ClientState& client, const uint8_t mac[6]);

// Formats the configure text into out (kConfigureTextCapacity bytes); false
// with ERR_OUT_OF_RANGE when it would not fit, and nothing is written past
// the buffer; false with ERR_BAD_VALUE when a value it would write holds a
// ';'. Text fields are read up to their NUL or their 128 bytes.
bool FormatConfigureText(const MdspConfigureRequest& request, char* out);
// "To: XX-XX-XX-XX-XX-XX;WINK;" into out (kWinkTextCapacity bytes).
void FormatWinkText(const uint8_t mac[6], char* out);
// ASCII case-insensitive prefix test, whatever the caller's locale.
bool StartsWithIgnoringCase(const char* text, const char* prefix);
// True for a text in the form of a wink request, whoever sent it.
bool IsWinkRequest(const char* text);

// Receive side, called by the receive step with the NUL-terminated datagram
// text and the socket lock held.
// True when the text is a notice (handled or dropped).
bool HandleNotice(ClientState& client, const char* text);
// Anything that is neither a notice nor secure: a text answer to a scan.
void HandleTextAnswer(ClientState& client, const char* text);
// Moves the oldest queued answer into out and frees it; false when the queue
// is empty. Takes the queue lock.
bool TakeResponse(ClientState& client, MdspResponse& out);

// True when at least one answer key (or the "Unsupported" marker) occurs in
// the text. Without one a datagram is not an answer at all.
bool HasAnswerKey(const char* text);

// Parse a scan answer into a zeroed record in two halves (the duplicate test
// runs between them). Missing keys record ERR_NOT_FOUND, malformed values
// report ERR_BAD_VALUE; either leaves the field's flag 0.
void ParseAnswerHead(const char* text, MdspResponse& response);
void ParseAnswerTail(const char* text, MdspResponse& response, bool* unsupported);

}  // namespace mdsp
