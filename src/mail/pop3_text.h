// The text rules of the POP3 client, apart from its sockets and threads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::mail {

// Whether the bytes gathered so far make a complete reply. lastChunk is
// the tail of reply that the last receive run added. A reply is complete
// when it ends with the terminator (compared without regard to case; judged
// on the whole reply so that a terminator split across two receives still
// counts) or when the last chunk begins with "-ERR" (servers may close
// right after a refusal without ending the line).
bool IsReplyComplete(std::string_view reply, std::string_view lastChunk,
                     std::string_view terminator);

// A reply fails when its first character is '-'; anything else passes.
inline bool IsReplyRefused(std::string_view reply) {
  return !reply.empty() && reply[0] == '-';
}

// From the first '<' to the first '>' after it, both included; empty when
// the greeting has no such pair.
std::string ExtractApopTimestamp(std::string_view greeting);

// The STAT reply without its first four characters ("+OK ") and its last
// two (CR LF); empty for a reply shorter than six characters.
std::string StatReplyText(std::string_view reply);

// The decimal number at the start of text (0 when there is none; a number
// too large for 32 bits saturates).
uint32_t LeadingNumber(std::string_view text);

}  // namespace qv::mail
