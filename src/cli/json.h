#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tonvela::cli {

// A small JSON value for the command-line tool's machine-readable output. Object members keep
// the order in which they were added, so the output reads the same every time.
class Json {
  public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() : m_value(nullptr) {}
    Json(std::nullptr_t) : m_value(nullptr) {}
    Json(bool b) : m_value(b) {}
    Json(int v) : m_value(static_cast<long long>(v)) {}
    Json(long v) : m_value(static_cast<long long>(v)) {}
    Json(long long v) : m_value(v) {}
    Json(unsigned v) : m_value(static_cast<long long>(v)) {}
    Json(double v) : m_value(v) {}
    Json(const char* s) : m_value(std::string(s)) {}
    Json(std::string s) : m_value(std::move(s)) {}
    Json(Array a) : m_value(std::move(a)) {}
    Json(Object o) : m_value(std::move(o)) {}

    static Json object() { return Json(Object{}); }
    static Json array() { return Json(Array{}); }

    // Adds or replaces a member of an object.
    Json& set(const std::string& key, Json value);
    // Appends to an array.
    Json& push(Json value);
    // The member of an object, or null when absent.
    const Json* find(const std::string& key) const;

    std::string dump(int indent = 2) const;

  private:
    void dumpTo(std::string& out, int indent, int depth) const;
    std::variant<std::nullptr_t, bool, long long, double, std::string, Array, Object> m_value;
};

std::string jsonEscape(const std::string& s);

} // namespace tonvela::cli
