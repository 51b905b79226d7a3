// Initial values of channels from their config tables.
#pragma once

#include <map>
#include <string>

#include <toml++/toml.h>

#include "channel.h"

namespace vantoserver {

// Texts put in for "{facility}", "{device}", "{location}", "{property}".
using Placeholders = std::map<std::string, std::string>;

// Fills channel.initial() (and the history of history types) from the
// property table; throws ConfigError.
void build_value(const toml::table& property, Channel& channel, const Placeholders& names,
                 int64_t now_sec);

// Replaces every "{key}" of text by its placeholder.
std::string expand(std::string text, const Placeholders& names);

}  // namespace vantoserver
