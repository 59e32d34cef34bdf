#pragma once
#include <cstddef>
#include <cstdint>

// One entry per parser of outside bytes. The libFuzzer targets call them, and so does the
// corpus replay test in the normal build, so every input kept in fuzz/corpus is checked
// again by the test command. Each entry aborts when a result breaks an invariant the
// callers rely on; the sanitizers catch the rest.

void FuzzParseImage(const std::uint8_t* data, std::size_t size);  // image container
void FuzzReplyChecks(const std::uint8_t* data, std::size_t size);  // identity and sector replies
void FuzzVersionParse(const std::uint8_t* data, std::size_t size); // version text
void FuzzIdentityQuery(const std::uint8_t* data, std::size_t size); // device replies to the identity query
