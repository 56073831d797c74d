// Which proxy a request goes through: the user's environment, or a proxy setting of the caller.
#include "qx/net/http_upload.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace qx::net {

namespace {

std::string trimmed(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const auto end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

EnvironmentProxy environmentProxy(bool secure) {
    std::vector<const char*> names;
    if (secure)
        names = {"https_proxy", "HTTPS_PROXY"};
    names.insert(names.end(), {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"});
    for (const char* name : names) {
        if (const char* value = std::getenv(name)) {
            EnvironmentProxy proxy;
            proxy.value = trimmed(value);
            proxy.state = proxy.value.empty() ? EnvironmentProxy::State::Empty : EnvironmentProxy::State::Set;
            return proxy;
        }
    }
    return {};
}

std::string proxyFromSetting(const std::string& setting, bool secure) {
    // A plain proxy, possibly with a scheme ("http://h:p"): its "://" is not a list's '='.
    if (setting.find('=') == std::string::npos)
        return trimmed(setting);
    std::string fallback;
    std::string_view rest(setting);
    while (!rest.empty()) {
        const auto cut = rest.find_first_of("; ");
        const std::string_view entry = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        const auto eq = entry.find('=');
        if (eq == std::string_view::npos) {
            if (fallback.empty())
                fallback = trimmed(entry);
            continue;
        }
        if (equalsIgnoringCase(entry.substr(0, eq), secure ? "https" : "http"))
            return trimmed(entry.substr(eq + 1));
    }
    return fallback;
}

} // namespace qx::net
