#include "tools/publish/nginx_config.h"

#include "platform/codepage.h"

#include <cstdlib>

namespace publish {

namespace {

// At most 8 separators per rewrite: nginx offers the captures $1 to $9.
constexpr int kSeparatorsPerRule = 8;

// One character without "\": a double-byte character of code page 936 (whose
// second byte may be 0x5C), or any single byte that is neither "\" nor a lead
// byte. Written with \x escapes, which nginx passes to PCRE unchanged.
const char kChar[] = "(?:[\\x81-\\xFE][\\x40-\\xFE]|[^\\x5C\\x81-\\xFE])";

// The rule that replaces the first `count` separators of the URI.
std::string RewriteRule(int count) {
    std::string pattern = "^";
    std::string replacement;
    for (int i = 1; i <= count; ++i) {
        pattern += "(" + std::string(kChar) + "*)\\x5C";
        replacement += "$" + std::to_string(i) + "/";
    }
    pattern += "(.*)$";
    replacement += "$" + std::to_string(count + 1);
    return "rewrite \"" + pattern + "\" \"" + replacement + "\" last;";
}

// `text` as an nginx quoted string.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string NginxServerRules() {
    std::string rules =
        "# Clients store bodies as they arrive.\n"
        "gzip off;\n"
        "# nginx removes \"/..\" before rewriting, never after, and \"\\..\\\" survives into\n"
        "# $uri: refuse \"..\" under either separator before any rewrite.\n"
        "if ($uri ~ \"(^|[/\\x5C])\\.\\.([/\\x5C]|$)\") {\n"
        "    return 403;\n"
        "}\n"
        "# The publisher's own trees \".V.<n>\" are reached through their version\n"
        "# folders only. Checked before the rewrite on the decoded URI, so that \"\\\"\n"
        "# and %5C spell no way round it: the first name after the leading\n"
        "# separators may not begin with \".\".\n"
        "if ($uri ~ \"^[/\\x5C]+\\.\") {\n"
        "    return 404;\n"
        "}\n"
        "# \"\\\" to \"/\", double-byte characters consumed whole; up to 8 per cycle,\n"
        "# 10 cycles.\n"
        "location / {\n";
    for (int count = kSeparatorsPerRule; count >= 1; --count) {
        rules += "    " + RewriteRule(count) + "\n";
    }
    rules += "}\n";
    return rules;
}

std::string NginxRootRefusal(const std::string& root) {
    if (root.empty()) {
        return "is empty";
    }
    for (char c : root) {
        if (c == '$') {
            return "holds \"$\", which nginx reads as a variable";
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return "holds a control character";
        }
    }
    return std::string();
}

std::string NginxListenRefusal(const std::string& listen) {
    if (listen.empty()) {
        return "is empty";
    }
    size_t colon = listen.rfind(':');
    std::string host = colon == std::string::npos ? std::string() : listen.substr(0, colon);
    std::string port = colon == std::string::npos ? listen : listen.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos || std::atoi(port.c_str()) < 1 ||
        std::atoi(port.c_str()) > 65535) {
        return "has no port from 1 to 65535";
    }
    if (host.find_first_not_of("0123456789abcdefABCDEF.:[]-_"
                               "ghijklmnopqrstuvwxyzGHIJKLMNOPQRSTUVWXYZ*") != std::string::npos) {
        return "has a host that is no address or name";
    }
    return std::string();
}

std::string NginxConf(const std::string& listen, const std::string& root) {
    std::string rules = NginxServerRules();
    std::string indented;
    for (size_t begin = 0; begin < rules.size();) {
        size_t end = rules.find('\n', begin);
        indented += "        " + rules.substr(begin, end - begin + 1);
        begin = end + 1;
    }
    // nginx on Windows wants "/" in paths; on POSIX the root is used as it is.
#ifdef _WIN32
    std::string serverRoot = platform::ReplaceChar(root, '\\', '/');
#else
    const std::string& serverRoot = root;
#endif
    return "# Made by lks-publish: serves the update server root " + serverRoot +
           ".\n"
           "# Run: nginx -p PREFIX -c THIS-FILE -e PREFIX/logs/error.log\n"
           "# (logs, pid file and temporary folders below PREFIX; PREFIX/logs must exist).\n"
           "worker_processes 1;\n"
           "error_log logs/error.log warn;\n"
           "pid logs/nginx.pid;\n"
           "events {\n"
           "    worker_connections 256;\n"
           "}\n"
           "http {\n"
           "    access_log logs/access.log;\n"
           "    client_body_temp_path logs/client_body;\n"
           "    proxy_temp_path logs/proxy;\n"
           "    fastcgi_temp_path logs/fastcgi;\n"
           "    uwsgi_temp_path logs/uwsgi;\n"
           "    scgi_temp_path logs/scgi;\n"
           "    types {\n"
           "        application/zip zip;\n"
           "        text/plain txt;\n"
           "    }\n"
           "    default_type application/octet-stream;\n"
           "    sendfile on;\n"
           "    server {\n"
           "        listen " +
           listen +
           ";\n"
           "        root " +
           Quoted(serverRoot) + ";\n" + indented +
           "    }\n"
           "}\n";
}

}  // namespace publish
