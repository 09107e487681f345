#include "cli/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tonvela::cli {

Json& Json::set(const std::string& key, Json value)
{
    auto& obj = std::get<Object>(m_value);
    for (auto& [k, v] : obj)
        if (k == key) {
            v = std::move(value);
            return v;
        }
    obj.emplace_back(key, std::move(value));
    return obj.back().second;
}

Json& Json::push(Json value)
{
    auto& arr = std::get<Array>(m_value);
    arr.push_back(std::move(value));
    return arr.back();
}

const Json* Json::find(const std::string& key) const
{
    if (const auto* obj = std::get_if<Object>(&m_value))
        for (const auto& [k, v] : *obj)
            if (k == key)
                return &v;
    return nullptr;
}

std::string jsonEscape(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string Json::dump(int indent) const
{
    std::string out;
    dumpTo(out, indent, 0);
    return out;
}

void Json::dumpTo(std::string& out, int indent, int depth) const
{
    auto newline = [&](int d) {
        if (indent > 0) {
            out += '\n';
            out.append(static_cast<std::size_t>(indent * d), ' ');
        }
    };
    if (std::holds_alternative<std::nullptr_t>(m_value)) {
        out += "null";
    } else if (const auto* b = std::get_if<bool>(&m_value)) {
        out += *b ? "true" : "false";
    } else if (const auto* i = std::get_if<long long>(&m_value)) {
        out += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&m_value)) {
        if (!std::isfinite(*d)) {
            out += "null";
        } else {
            char buf[64];
            const auto res = std::to_chars(buf, buf + sizeof buf, *d);
            out.append(buf, res.ptr);
        }
    } else if (const auto* s = std::get_if<std::string>(&m_value)) {
        out += jsonEscape(*s);
    } else if (const auto* a = std::get_if<Array>(&m_value)) {
        if (a->empty()) {
            out += "[]";
            return;
        }
        out += '[';
        for (std::size_t k = 0; k < a->size(); ++k) {
            if (k)
                out += ',';
            newline(depth + 1);
            (*a)[k].dumpTo(out, indent, depth + 1);
        }
        newline(depth);
        out += ']';
    } else if (const auto* o = std::get_if<Object>(&m_value)) {
        if (o->empty()) {
            out += "{}";
            return;
        }
        out += '{';
        for (std::size_t k = 0; k < o->size(); ++k) {
            if (k)
                out += ',';
            newline(depth + 1);
            out += jsonEscape((*o)[k].first);
            out += indent > 0 ? ": " : ":";
            (*o)[k].second.dumpTo(out, indent, depth + 1);
        }
        newline(depth);
        out += '}';
    }
}

} // namespace tonvela::cli
