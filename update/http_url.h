#pragma once

#include <string>

namespace kalvera {

// Whether a download that has come to `current` (http or https) may follow a redirect to
// `target`: the same host, and then the same scheme and port, or from http to https on port
// 443 or on `current`'s own port. Never from https back to http. Letter case in the scheme and
// host does not matter, and a port written out equal to the scheme's default
// (http://host:80/) is the same as none. False when either cannot be parsed.
bool MayRedirect(const std::string& current, const std::string& target);

// `reference` (a redirect's Location: absolute, or relative as "/x" or "../x") made absolute
// against `base`; empty when it cannot be.
std::string ResolveUrl(const std::string& base, const std::string& reference);

}  // namespace kalvera
