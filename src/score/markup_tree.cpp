#include "score/markup_tree.h"

#include "platform/atomic_file.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace tonvela {

MarkupElement::~MarkupElement()
{
    std::vector<std::unique_ptr<MarkupElement>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<MarkupElement> e = std::move(pending.back());
        pending.pop_back();
        for (auto& c : e->children)
            pending.push_back(std::move(c));
        e->children.clear();
    }
}

const std::string* MarkupElement::findAttribute(std::string_view attributeName) const
{
    for (const auto& [n, v] : attributes)
        if (n == attributeName)
            return &v;
    return nullptr;
}

namespace {

enum class TokenKind { Word, Tag, Attribute };

struct Token {
    std::string text;
    TokenKind kind = TokenKind::Word;
};

bool isSeparator(char c)
{
    return c == '\r' || c == '\n' || c == '\t' || c == ' ' || c == '<' || c == '>';
}

// Splits the in-memory copy of a file into tokens.
class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    Token next()
    {
        Token token;
        while (m_pos < m_text.size() && isSeparator(m_text[m_pos])) {
            if (m_text[m_pos] == '<')
                token.kind = TokenKind::Tag;
            ++m_pos;
        }
        if (m_pos >= m_text.size())
            return token;
        // Only the first character of a token is lower-cased (ASCII letters only).
        char first = m_text[m_pos];
        if (first >= 'A' && first <= 'Z')
            first = static_cast<char>(first - 'A' + 'a');
        bool inQuotes = false;
        std::size_t start = m_pos;
        for (; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (c == '\r' || c == '\n' || c == '\t' || c == '<' || c == '>')
                break;
            if (c == ' ' && !inQuotes)
                break;
            if (c == '=')
                token.kind = TokenKind::Attribute;
            else if (c == '"')
                inQuotes = !inQuotes;
        }
        token.text.assign(m_text.substr(start, m_pos - start));
        token.text[0] = first;
        return token;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

void addAttribute(MarkupElement& element, const std::string& token)
{
    const auto eq = token.find('=');
    std::string name = token.substr(0, eq);
    std::string value = token.substr(eq + 1);
    if (value.find('"') != std::string::npos) {
        if (value.size() >= 2)
            value = value.substr(1, value.size() - 2);
        else
            value.clear();
    }
    element.attributes.emplace_back(std::move(name), std::move(value));
}

std::string normaliseLineEnds(std::string_view content)
{
    std::string text;
    text.reserve(content.size());
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            continue;
        text += content[i];
    }
    return text;
}

} // namespace

MarkupTree parseMarkup(std::string_view content)
{
    const std::string text = normaliseLineEnds(content);
    MarkupTree tree;
    Tokenizer tokens(text);
    tree.root.name = tokens.next().text;

    // An explicit stack instead of recursion, so that deeply nested input cannot exhaust the
    // call stack. Each entry is an open element and the text that closes it.
    struct Open {
        MarkupElement* element;
        std::string closing;
    };
    std::vector<Open> stack;
    stack.push_back({&tree.root, "/" + tree.root.name});
    while (!stack.empty()) {
        Token token = tokens.next();
        Open& top = stack.back();
        if (token.text == top.closing) {
            top.element->closed = true;
            stack.pop_back();
            continue;
        }
        if (tokens.atEnd())
            break; // a token that runs into the end of the input is dropped; all elements end
        switch (token.kind) {
        case TokenKind::Tag: {
            auto child = std::make_unique<MarkupElement>();
            child->name = token.text;
            MarkupElement* raw = child.get();
            top.element->children.push_back(std::move(child));
            stack.push_back({raw, "/" + raw->name});
            break;
        }
        case TokenKind::Attribute:
            addAttribute(*top.element, token.text);
            break;
        case TokenKind::Word:
            top.element->text = std::move(token.text);
            break;
        }
    }
    return tree;
}

MarkupTree loadMarkupFile(const std::string& path, std::string* error)
{
    std::string content;
    const FileResult res = readWholeFile(path, content, kMaxMarkupFileBytes);
    if (!res) {
        if (error)
            *error = res.error;
        return {};
    }
    return parseMarkup(content);
}

std::string peekFirstTokenOfText(std::string_view content)
{
    // The first token never needs more than the leading part of a file once the separators in
    // front of it are passed over.
    std::size_t start = 0;
    while (start < content.size() && isSeparator(content[start]))
        ++start;
    const std::string text = normaliseLineEnds(content.substr(start, 4096));
    Tokenizer tokens(text);
    return tokens.next().text;
}

std::string peekFirstToken(const std::string& path)
{
    std::string content;
    if (!readWholeFile(path, content, kMaxMarkupFileBytes))
        return {};
    return peekFirstTokenOfText(content);
}

int readDecimalInt(std::string_view value)
{
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t' || value[i] == '\n' || value[i] == '\r' ||
                                value[i] == '\v' || value[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1)
            n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        n = -n;
    if (n > INT_MAX)
        n = INT_MAX;
    return static_cast<int>(n);
}

int intAttribute(const MarkupElement& element, std::string_view name, int defaultValue)
{
    const std::string* value = element.findAttribute(name);
    if (!value)
        return defaultValue;
    return readDecimalInt(*value);
}

std::string stringAttribute(const MarkupElement& element, std::string_view name,
                            const std::string& defaultValue)
{
    const std::string* value = element.findAttribute(name);
    if (!value)
        return defaultValue;
    if (value->empty())
        return " ";
    return *value;
}

char charAttribute(const MarkupElement& element, std::string_view name, char defaultValue)
{
    const std::string* value = element.findAttribute(name);
    if (!value)
        return defaultValue;
    return value->empty() ? ' ' : (*value)[0];
}

float floatValue(std::string_view value, float defaultValue)
{
    if (value.empty() || value.size() > 128)
        return defaultValue;
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    if (i < value.size() && value[i] == '+')
        ++i;
    float result = 0;
    // from_chars reads the longest valid prefix and does not follow the process locale.
    const auto res =
        std::from_chars(value.data() + i, value.data() + value.size(), result, std::chars_format::general);
    if (res.ec == std::errc::invalid_argument)
        return defaultValue;
    if (res.ec == std::errc::result_out_of_range)
        return defaultValue;
    return result;
}

} // namespace tonvela
