// String operations on texts: byte strings with positions counted from 1. None of them
// fails; arguments outside a text give the empty text or 0 by fixed rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kit {

/// Number of characters of s.
std::int64_t text_len(std::string_view s);

/// The first n characters: empty for n <= 0, all of s for n >= its length.
std::string text_left(std::string_view s, std::int64_t n);

/// The last n characters: empty for n <= 0, all of s for n >= its length.
std::string text_right(std::string_view s, std::int64_t n);

/// The piece from `start` for `count` characters, cut at the end of s; a negative count
/// runs to the end. Empty when start < 1, start > length or count = 0.
std::string text_mid(std::string_view s, std::int64_t start, std::int64_t count);

/// Overwrites dest from `start` with the first characters of src (all of it when count is
/// negative or larger); the length of dest never changes.
void text_overwrite(std::string& dest, std::int64_t start, std::int64_t count,
                    std::string_view src);

/// Position of the first occurrence of pattern at or after start, or 0. Patterns of two or
/// more characters are searched by Boyer-Moore.
std::int64_t text_find(std::int64_t start, std::string_view s, std::string_view pattern);

/// Position of the first character at or after start that occurs in set, or 0.
std::int64_t text_find_any(std::int64_t start, std::string_view s, std::string_view set);

/// s without blanks at both ends; zero bytes are dropped from the end as well.
std::string text_trim(std::string_view s);

/// Code 0-255 of the character at pos, or 0 outside s.
int text_code(std::string_view s, std::int64_t pos);

/// The signed 32-bit integer that s spells: decimal, or "&H", "&O", "&B" and "&" radix
/// digits, wrapping to 32 bits.
std::int32_t text_to_int(std::string_view s);

/// Byte-wise comparison: negative, zero or positive; a prefix is the smaller.
int text_compare(std::string_view a, std::string_view b);

/// a followed by b.
std::string text_concat(std::string_view a, std::string_view b);

}  // namespace kit
