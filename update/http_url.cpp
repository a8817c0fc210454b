#include "http_url.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

namespace kalvera {
namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct Origin {
    std::string scheme;
    std::string host;
    std::string port;
};

std::optional<std::string> Part(CURLU* url, CURLUPart part, unsigned int flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string copy(text);
    curl_free(text);
    std::transform(copy.begin(), copy.end(), copy.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return copy;
}

// The port a URL of `scheme` means when it writes none. Not asked of libcurl: a libcurl built
// for plain HTTP knows no port of https.
std::optional<std::string> DefaultPort(const std::string& scheme) {
    if (scheme == "http") {
        return "80";
    }
    if (scheme == "https") {
        return "443";
    }
    return std::nullopt;
}

std::optional<Origin> OriginOf(const std::string& text) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
                    CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = Part(url.get(), CURLUPART_SCHEME, 0);
    auto host = Part(url.get(), CURLUPART_HOST, 0);
    if (!scheme || !host || !DefaultPort(*scheme)) {
        return std::nullopt;  // neither http nor https
    }
    // The default port when none is written, so both spellings compare equal.
    auto port = Part(url.get(), CURLUPART_PORT, 0);
    if (!port) {
        port = DefaultPort(*scheme);
    }
    return Origin{std::move(*scheme), std::move(*host), std::move(*port)};
}

}  // namespace

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    char* text = nullptr;
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, reference.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK || text == nullptr) {
        return {};
    }
    std::string resolved(text);
    curl_free(text);
    return resolved;
}

bool MayRedirect(const std::string& current, const std::string& target) {
    const std::optional<Origin> from = OriginOf(current);
    const std::optional<Origin> to = OriginOf(target);
    if (!from || !to || from->host != to->host) {
        return false;
    }
    if (from->scheme == to->scheme) {
        return from->port == to->port;
    }
    return from->scheme == "http" && to->scheme == "https" &&
           (to->port == "443" || to->port == from->port);
}

}  // namespace kalvera
