#pragma once

#include <string>

namespace kalvera {

// Whether both URLs have the same scheme, host and port, as HTTP sees them: letter case in
// the scheme and host does not matter, and a port written out equal to the scheme's default
// (http://host:80/) is the same as none. False when either cannot be parsed.
bool SameOrigin(const std::string& a, const std::string& b);

// `reference` (a redirect's Location: absolute, or relative as "/x" or "../x") made absolute
// against `base`; empty when it cannot be.
std::string ResolveUrl(const std::string& base, const std::string& reference);

}  // namespace kalvera
