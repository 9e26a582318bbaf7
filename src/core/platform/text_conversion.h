#pragma once

// Converting text between character sets by their names ("UTF-8", "CP932"), with the
// converter the platform offers.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// When the input holds something the target cannot take, replacement is appended and
// the input moves on by skip(position) bytes (at least one). False when the platform
// cannot convert between the two sets at all.
bool ConvertText(const char* to, const char* from, std::string_view input, std::string_view replacement,
                 const std::function<std::size_t(std::size_t position)>& skip, std::string& output);
