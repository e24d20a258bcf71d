#include "res/ResourceScript.h"

#include <cctype>
#include <charconv>
#include <map>
#include <utility>

namespace {

// The window system's constants that tandemix.rc names, with the values of the Windows
// SDK headers (winuser.h, winnt.h, winver.h, winres.h).
constexpr std::int64_t WS_OVERLAPPED = 0x00000000;
constexpr std::int64_t WS_POPUP = 0x80000000;
constexpr std::int64_t WS_CHILD = 0x40000000;
constexpr std::int64_t WS_MINIMIZE = 0x20000000;
constexpr std::int64_t WS_VISIBLE = 0x10000000;
constexpr std::int64_t WS_DISABLED = 0x08000000;
constexpr std::int64_t WS_CLIPSIBLINGS = 0x04000000;
constexpr std::int64_t WS_CLIPCHILDREN = 0x02000000;
constexpr std::int64_t WS_MAXIMIZE = 0x01000000;
constexpr std::int64_t WS_CAPTION = 0x00C00000;  // WS_BORDER | WS_DLGFRAME
constexpr std::int64_t WS_BORDER = 0x00800000;
constexpr std::int64_t WS_DLGFRAME = 0x00400000;
constexpr std::int64_t WS_VSCROLL = 0x00200000;
constexpr std::int64_t WS_HSCROLL = 0x00100000;
constexpr std::int64_t WS_SYSMENU = 0x00080000;
constexpr std::int64_t WS_THICKFRAME = 0x00040000;
constexpr std::int64_t WS_GROUP = 0x00020000;
constexpr std::int64_t WS_TABSTOP = 0x00010000;
constexpr std::int64_t WS_MINIMIZEBOX = 0x00020000;  // same bit as WS_GROUP, on top-level windows
constexpr std::int64_t WS_MAXIMIZEBOX = 0x00010000;  // same bit as WS_TABSTOP

constexpr std::int64_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr std::int64_t WS_EX_TOPMOST = 0x00000008;
constexpr std::int64_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr std::int64_t WS_EX_CLIENTEDGE = 0x00000200;
constexpr std::int64_t WS_EX_STATICEDGE = 0x00020000;
constexpr std::int64_t WS_EX_APPWINDOW = 0x00040000;

constexpr std::int64_t DS_ABSALIGN = 0x0001;
constexpr std::int64_t DS_SYSMODAL = 0x0002;
constexpr std::int64_t DS_3DLOOK = 0x0004;
constexpr std::int64_t DS_FIXEDSYS = 0x0008;
constexpr std::int64_t DS_SETFONT = 0x0040;
constexpr std::int64_t DS_MODALFRAME = 0x0080;
constexpr std::int64_t DS_SETFOREGROUND = 0x0200;
constexpr std::int64_t DS_CONTROL = 0x0400;
constexpr std::int64_t DS_CENTER = 0x0800;
constexpr std::int64_t DS_CENTERMOUSE = 0x1000;
constexpr std::int64_t DS_CONTEXTHELP = 0x2000;

constexpr std::int64_t BS_PUSHBUTTON = 0x0000;
constexpr std::int64_t BS_DEFPUSHBUTTON = 0x0001;

constexpr std::int64_t ES_LEFT = 0x0000;
constexpr std::int64_t ES_CENTER = 0x0001;
constexpr std::int64_t ES_RIGHT = 0x0002;
constexpr std::int64_t ES_MULTILINE = 0x0004;
constexpr std::int64_t ES_UPPERCASE = 0x0008;
constexpr std::int64_t ES_LOWERCASE = 0x0010;
constexpr std::int64_t ES_PASSWORD = 0x0020;
constexpr std::int64_t ES_AUTOVSCROLL = 0x0040;
constexpr std::int64_t ES_AUTOHSCROLL = 0x0080;
constexpr std::int64_t ES_NOHIDESEL = 0x0100;
constexpr std::int64_t ES_READONLY = 0x0800;
constexpr std::int64_t ES_WANTRETURN = 0x1000;
constexpr std::int64_t ES_NUMBER = 0x2000;

constexpr std::int64_t SS_LEFT = 0x0000;
constexpr std::int64_t SS_CENTER = 0x0001;
constexpr std::int64_t SS_RIGHT = 0x0002;
constexpr std::int64_t SS_ICON = 0x0003;
constexpr std::int64_t SS_NOPREFIX = 0x0080;
constexpr std::int64_t SS_SUNKEN = 0x1000;

constexpr std::int64_t IDOK = 1;
constexpr std::int64_t IDCANCEL = 2;
constexpr std::int64_t IDC_STATIC = -1;

constexpr std::int64_t LANG_NEUTRAL = 0x00;
constexpr std::int64_t LANG_ENGLISH = 0x09;
constexpr std::int64_t LANG_CROATIAN = 0x1A;
constexpr std::int64_t SUBLANG_NEUTRAL = 0x00;
constexpr std::int64_t SUBLANG_DEFAULT = 0x01;
constexpr std::int64_t SUBLANG_ENGLISH_US = 0x01;
constexpr std::int64_t SUBLANG_CROATIAN_CROATIA = 0x01;

constexpr std::int64_t VS_VERSION_INFO = 1;
constexpr std::int64_t VS_FFI_FILEFLAGSMASK = 0x3F;
constexpr std::int64_t VS_FF_DEBUG = 0x01;
constexpr std::int64_t VOS__WINDOWS32 = 0x00000004;
constexpr std::int64_t VOS_NT_WINDOWS32 = 0x00040004;
constexpr std::int64_t VFT_APP = 0x00000001;
constexpr std::int64_t VFT2_UNKNOWN = 0x00000000;

struct NamedValue {
    std::string_view name;
    std::int64_t value;
};

#define NAMED(constant) NamedValue{#constant, constant}
constexpr NamedValue kSystemConstants[] = {
    NAMED(WS_OVERLAPPED), NAMED(WS_POPUP), NAMED(WS_CHILD), NAMED(WS_MINIMIZE),
    NAMED(WS_VISIBLE), NAMED(WS_DISABLED), NAMED(WS_CLIPSIBLINGS), NAMED(WS_CLIPCHILDREN),
    NAMED(WS_MAXIMIZE), NAMED(WS_CAPTION), NAMED(WS_BORDER), NAMED(WS_DLGFRAME),
    NAMED(WS_VSCROLL), NAMED(WS_HSCROLL), NAMED(WS_SYSMENU), NAMED(WS_THICKFRAME),
    NAMED(WS_GROUP), NAMED(WS_TABSTOP), NAMED(WS_MINIMIZEBOX), NAMED(WS_MAXIMIZEBOX),
    NAMED(WS_EX_DLGMODALFRAME), NAMED(WS_EX_TOPMOST), NAMED(WS_EX_TOOLWINDOW),
    NAMED(WS_EX_CLIENTEDGE), NAMED(WS_EX_STATICEDGE), NAMED(WS_EX_APPWINDOW),
    NAMED(DS_ABSALIGN), NAMED(DS_SYSMODAL), NAMED(DS_3DLOOK), NAMED(DS_FIXEDSYS),
    NAMED(DS_SETFONT), NAMED(DS_MODALFRAME), NAMED(DS_SETFOREGROUND), NAMED(DS_CONTROL),
    NAMED(DS_CENTER), NAMED(DS_CENTERMOUSE), NAMED(DS_CONTEXTHELP),
    NAMED(BS_PUSHBUTTON), NAMED(BS_DEFPUSHBUTTON),
    NAMED(ES_LEFT), NAMED(ES_CENTER), NAMED(ES_RIGHT), NAMED(ES_MULTILINE),
    NAMED(ES_UPPERCASE), NAMED(ES_LOWERCASE), NAMED(ES_PASSWORD), NAMED(ES_AUTOVSCROLL),
    NAMED(ES_AUTOHSCROLL), NAMED(ES_NOHIDESEL), NAMED(ES_READONLY), NAMED(ES_WANTRETURN),
    NAMED(ES_NUMBER),
    NAMED(SS_LEFT), NAMED(SS_CENTER), NAMED(SS_RIGHT), NAMED(SS_ICON), NAMED(SS_NOPREFIX),
    NAMED(SS_SUNKEN),
    NAMED(IDOK), NAMED(IDCANCEL), NAMED(IDC_STATIC),
    NAMED(LANG_NEUTRAL), NAMED(LANG_ENGLISH), NAMED(LANG_CROATIAN), NAMED(SUBLANG_NEUTRAL),
    NAMED(SUBLANG_DEFAULT), NAMED(SUBLANG_ENGLISH_US), NAMED(SUBLANG_CROATIAN_CROATIA),
    NAMED(VS_VERSION_INFO), NAMED(VS_FFI_FILEFLAGSMASK), NAMED(VS_FF_DEBUG),
    NAMED(VOS__WINDOWS32), NAMED(VOS_NT_WINDOWS32), NAMED(VFT_APP), NAMED(VFT2_UNKNOWN),
};
#undef NAMED

// A control statement: the class it makes, the style bits it always carries, and its shape.
enum class ControlShape { TextFirst, NoText, Icon };

struct ControlStatement {
    std::string_view keyword;
    std::string_view className;
    std::int64_t defaultStyle;
    ControlShape shape;
};

constexpr ControlStatement kControlStatements[] = {
    {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, ControlShape::TextFirst},
    {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, ControlShape::TextFirst},
    {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, ControlShape::NoText},
    {"LTEXT", "Static", SS_LEFT | WS_GROUP, ControlShape::TextFirst},
    {"RTEXT", "Static", SS_RIGHT | WS_GROUP, ControlShape::TextFirst},
    {"CTEXT", "Static", SS_CENTER | WS_GROUP, ControlShape::TextFirst},
    {"ICON", "Static", SS_ICON, ControlShape::Icon},
};

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

std::string_view AsText(std::span<const unsigned char> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

const ResourceFile* FindFile(std::span<const ResourceFile> files, std::string_view name) {
    for (const ResourceFile& file : files)
        if (file.name == name)
            return &file;
    return nullptr;
}

enum class TokenKind { Name, Number, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // a name, a string's decoded text, or one punctuation character
    std::int64_t number = 0;
    std::string_view file;
    int line = 0;
};

std::string Where(const Token& at) {
    return std::string(at.file) + ":" + std::to_string(at.line) + ": ";
}

// The resource compiler runs the C preprocessor first; this is the little of it that the
// script and resource.h need: #include "...", object-like #define, #undef, #ifdef, #ifndef,
// #else, #endif, and comments. #include <...> and #pragma are skipped.
class Preprocessor {
public:
    explicit Preprocessor(std::span<const ResourceFile> files) : files_(files) {
        for (const NamedValue& constant : kSystemConstants) {
            Token value{TokenKind::Number, {}, constant.value, "<system>", 0};
            defines_[std::string(constant.name)] = {value};
        }
    }

    bool run(std::string_view name, std::vector<Token>& out) {
        if (!include(name, "", 0, 0, out))
            return false;
        Token end;
        end.file = name;
        end.line = out.empty() ? 0 : out.back().line;
        out.push_back(end);
        return true;
    }

    const std::string& error() const { return error_; }

private:
    struct Condition {
        bool taking;
        bool elseSeen;
    };

    bool fail(std::string_view file, int line, const std::string& what) {
        error_ = std::string(file) + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    bool active() const {
        for (const Condition& c : conditions_)
            if (!c.taking)
                return false;
        return true;
    }

    bool include(std::string_view name, std::string_view fromFile, int fromLine, int depth,
                 std::vector<Token>& out) {
        const ResourceFile* file = FindFile(files_, name);
        if (!file)
            return fail(fromFile.empty() ? name : fromFile, fromLine,
                        "cannot find \"" + std::string(name) + "\"");
        if (depth > 8)
            return fail(fromFile, fromLine, "includes nest too deeply");
        const size_t openConditions = conditions_.size();
        const std::string_view text = AsText(file->bytes);
        bool inComment = false;
        int lineNumber = 0;
        size_t start = 0;
        while (start < text.size()) {
            size_t stop = text.find('\n', start);
            if (stop == std::string_view::npos)
                stop = text.size();
            std::string_view line = text.substr(start, stop - start);
            start = stop + 1;
            ++lineNumber;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            std::string code;
            if (!stripComments(line, inComment, code))
                return fail(file->name, lineNumber, "string not closed");
            const size_t first = code.find_first_not_of(" \t");
            if (first != std::string::npos && code[first] == '#') {
                if (!directive(std::string_view(code).substr(first + 1), file->name, lineNumber,
                               depth, out))
                    return false;
                continue;
            }
            if (!active())
                continue;
            std::vector<Token> tokens;
            if (!tokenize(code, file->name, lineNumber, tokens))
                return false;
            for (const Token& token : tokens)
                if (!expand(token, token, 0, out))
                    return false;
        }
        if (conditions_.size() != openConditions)
            return fail(file->name, lineNumber, "#endif missing");
        return true;
    }

    static bool stripComments(std::string_view line, bool& inComment, std::string& code) {
        for (size_t i = 0; i < line.size(); ++i) {
            if (inComment) {
                if (line.compare(i, 2, "*/") == 0) {
                    inComment = false;
                    ++i;
                }
                continue;
            }
            if (line.compare(i, 2, "//") == 0)
                break;
            if (line.compare(i, 2, "/*") == 0) {
                inComment = true;
                code += ' ';
                ++i;
                continue;
            }
            code += line[i];
            if (line[i] == '"') {
                // A string runs to the next lone quote; "" inside it is one quote.
                size_t j = i + 1;
                while (j < line.size()) {
                    if (line[j] == '\\' && j + 1 < line.size()) {
                        code += line.substr(j, 2);
                        j += 2;
                    } else if (line[j] == '"' && j + 1 < line.size() && line[j + 1] == '"') {
                        code += "\"\"";
                        j += 2;
                    } else if (line[j] == '"') {
                        break;
                    } else {
                        code += line[j++];
                    }
                }
                if (j >= line.size())
                    return false;
                code += '"';
                i = j;
            }
        }
        return true;
    }

    bool directive(std::string_view rest, std::string_view file, int line, int depth,
                   std::vector<Token>& out) {
        const auto skipBlanks = [&rest] {
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                rest.remove_prefix(1);
        };
        const auto takeName = [&rest, &skipBlanks] {
            skipBlanks();
            size_t length = 0;
            const auto isNameChar = [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
            };
            while (length < rest.size() && isNameChar(rest[length]))
                ++length;
            std::string name(rest.substr(0, length));
            rest.remove_prefix(length);
            return name;
        };
        const std::string word = takeName();
        if (word == "ifdef" || word == "ifndef") {
            const std::string name = takeName();
            if (name.empty())
                return fail(file, line, "#" + word + " needs a name");
            const bool defined = defines_.count(name) > 0;
            conditions_.push_back({word == "ifdef" ? defined : !defined, false});
            return true;
        }
        if (word == "else") {
            if (conditions_.empty() || conditions_.back().elseSeen)
                return fail(file, line, "#else without #ifdef");
            conditions_.back().taking = !conditions_.back().taking;
            conditions_.back().elseSeen = true;
            return true;
        }
        if (word == "endif") {
            if (conditions_.empty())
                return fail(file, line, "#endif without #ifdef");
            conditions_.pop_back();
            return true;
        }
        if (!active())
            return true;
        if (word == "define") {
            const std::string name = takeName();
            if (name.empty())
                return fail(file, line, "#define needs a name");
            if (!rest.empty() && rest.front() == '(')
                return fail(file, line, "macros with parameters are not supported");
            std::vector<Token> value;
            if (!tokenize(rest, file, line, value))
                return false;
            defines_[name] = std::move(value);
            return true;
        }
        if (word == "undef") {
            const std::string name = takeName();
            if (name.empty())
                return fail(file, line, "#undef needs a name");
            defines_.erase(name);
            return true;
        }
        if (word == "include") {
            skipBlanks();
            if (!rest.empty() && rest.front() == '<')
                return true;  // a system header: kSystemConstants stands in for it
            std::vector<Token> name;
            if (!tokenize(rest, file, line, name))
                return false;
            if (name.size() != 1 || name[0].kind != TokenKind::String)
                return fail(file, line, "#include needs a file name");
            return include(name[0].text, file, line, depth + 1, out);
        }
        if (word == "pragma")
            return true;
        return fail(file, line, "unsupported directive #" + word);
    }

    bool tokenize(std::string_view code, std::string_view file, int line,
                  std::vector<Token>& tokens) {
        size_t i = 0;
        const auto isNameChar = [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '_';
        };
        while (i < code.size()) {
            const char c = code[i];
            Token token{TokenKind::End, {}, 0, file, line};
            if (c == ' ' || c == '\t') {
                ++i;
                continue;
            }
            if (c >= '0' && c <= '9') {
                size_t end = i;
                while (end < code.size() && isNameChar(code[end]))
                    ++end;
                std::string_view digits = code.substr(i, end - i);
                while (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l' ||
                                           digits.back() == 'U' || digits.back() == 'u'))
                    digits.remove_suffix(1);
                int base = 10;
                const bool hex = digits.size() > 2 && digits[0] == '0' &&
                                 (digits[1] == 'x' || digits[1] == 'X');
                if (hex) {
                    base = 16;
                    digits.remove_prefix(2);
                }
                std::uint64_t value = 0;
                const auto [last, problem] =
                    std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
                if (problem != std::errc() || last != digits.data() + digits.size() ||
                    value > 0xFFFFFFFFu)
                    return fail(file, line, "bad number " + std::string(code.substr(i, end - i)));
                token.kind = TokenKind::Number;
                token.number = static_cast<std::int64_t>(value);
                i = end;
            } else if (isNameChar(c)) {
                size_t end = i;
                while (end < code.size() && isNameChar(code[end]))
                    ++end;
                token.kind = TokenKind::Name;
                token.text = code.substr(i, end - i);
                i = end;
            } else if (c == '"') {
                token.kind = TokenKind::String;
                ++i;
                while (true) {
                    if (i >= code.size())
                        return fail(file, line, "string not closed");
                    if (code[i] == '"') {
                        if (i + 1 < code.size() && code[i + 1] == '"') {
                            token.text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (code[i] == '\\' && i + 1 < code.size()) {
                        const char escaped = code[i + 1];
                        switch (escaped) {
                        case 'n': token.text += '\n'; break;
                        case 't': token.text += '\t'; break;
                        case '\\': token.text += '\\'; break;
                        case '"': token.text += '"'; break;
                        default:
                            return fail(file, line, std::string("unsupported escape \\") + escaped);
                        }
                        i += 2;
                        continue;
                    }
                    token.text += code[i++];
                }
            } else if (std::string_view(",|&+-~(){}").find(c) != std::string_view::npos) {
                token.kind = TokenKind::Punct;
                token.text = c;
                ++i;
            } else {
                return fail(file, line, std::string("unexpected character '") + c + "'");
            }
            tokens.push_back(std::move(token));
        }
        return true;
    }

    // A name that is defined is replaced by its definition, which is itself expanded; the
    // result keeps the place where the name was used, for the messages.
    bool expand(const Token& token, const Token& usedAt, int depth, std::vector<Token>& out) {
        const auto definition =
            token.kind == TokenKind::Name ? defines_.find(token.text) : defines_.end();
        if (definition == defines_.end()) {
            out.push_back(token);
            out.back().file = usedAt.file;
            out.back().line = usedAt.line;
            return true;
        }
        if (depth > 16)
            return fail(usedAt.file, usedAt.line, "definition of " + token.text + " never ends");
        for (const Token& part : definition->second)
            if (!expand(part, usedAt, depth + 1, out))
                return false;
        return true;
    }

    std::span<const ResourceFile> files_;
    std::map<std::string, std::vector<Token>> defines_;
    std::vector<Condition> conditions_;
    std::string error_;
};

// Reads the preprocessed tokens statement by statement. Keywords are case-insensitive, as
// the resource compiler's are.
class Parser {
public:
    Parser(const std::vector<Token>& tokens, std::span<const ResourceFile> files)
        : tokens_(tokens), files_(files) {}

    bool run() {
        while (peek().kind != TokenKind::End) {
            if (acceptWord("LANGUAGE")) {
                if (!language(language_))
                    return false;
            } else if (acceptWord("STRINGTABLE")) {
                if (!stringTable())
                    return false;
            } else if (!resource()) {
                return false;
            }
        }
        return true;
    }

    ResourceScript& script() { return script_; }
    const std::string& error() const { return error_; }

private:
    const Token& peek() const { return tokens_[position_]; }

    const Token& next() {
        const Token& token = tokens_[position_];
        if (token.kind != TokenKind::End)
            ++position_;
        return token;
    }

    bool fail(const Token& at, const std::string& what) {
        error_ = Where(at) + what;
        return false;
    }

    bool isWord(std::string_view word) const {
        return peek().kind == TokenKind::Name && SameWord(peek().text, word);
    }

    bool acceptWord(std::string_view word) {
        if (!isWord(word))
            return false;
        next();
        return true;
    }

    bool expectWord(std::string_view word) {
        if (acceptWord(word))
            return true;
        if (SameWord(word, "BEGIN") && accept('{'))
            return true;
        return fail(peek(), std::string(word) + " expected");
    }

    bool atEnd() {
        return acceptWord("END") || accept('}');
    }

    bool atBegin() const {
        return isWord("BEGIN") || (peek().kind == TokenKind::Punct && peek().text == "{");
    }

    bool unexpected(std::string_view what) {
        if (peek().kind == TokenKind::End)
            return fail(peek(), "BEGIN expected");
        return fail(peek(), "unsupported " + std::string(what) + " " + peek().text);
    }

    bool accept(char punct) {
        if (peek().kind != TokenKind::Punct || peek().text[0] != punct)
            return false;
        next();
        return true;
    }

    bool expect(char punct) {
        if (accept(punct))
            return true;
        return fail(peek(), std::string("'") + punct + "' expected");
    }

    bool text(std::string& value) {
        if (peek().kind != TokenKind::String)
            return fail(peek(), "a quoted text expected");
        value = next().text;
        return true;
    }

    bool unary(std::int64_t& value) {
        if (accept('-')) {
            if (!unary(value))
                return false;
            value = -value;
            return true;
        }
        if (accept('~')) {
            if (!unary(value))
                return false;
            value = ~value & 0xFFFFFFFF;
            return true;
        }
        if (accept('(')) {
            if (!expression(value))
                return false;
            return expect(')');
        }
        const Token& token = peek();
        if (token.kind == TokenKind::Number) {
            value = next().number;
            return true;
        }
        if (token.kind == TokenKind::Name)
            return fail(token, "unknown name " + token.text);
        return fail(token, "a number expected");
    }

    // Operators apply from left to right, as far as the script needs them.
    bool arithmetic(std::int64_t& value, bool withOr) {
        if (!unary(value))
            return false;
        while (peek().kind == TokenKind::Punct) {
            const char op = peek().text[0];
            if (op != '+' && op != '-' && op != '&' && !(withOr && op == '|'))
                break;
            next();
            std::int64_t right = 0;
            if (!unary(right))
                return false;
            value = op == '+' ? value + right
                  : op == '-' ? value - right
                  : op == '&' ? value & right
                              : value | right;
        }
        return true;
    }

    bool expression(std::int64_t& value) { return arithmetic(value, true); }

    bool integer(int& value) {
        std::int64_t wide = 0;
        if (!expression(wide))
            return false;
        value = static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(wide)));
        return true;
    }

    // Style terms joined by '|'; "NOT term" clears bits, so a statement's default bits
    // can be taken away.
    bool style(std::uint32_t& bits) {
        do {
            const bool clear = acceptWord("NOT");
            std::int64_t value = 0;
            if (!arithmetic(value, false))
                return false;
            const auto term = static_cast<std::uint32_t>(value);
            bits = clear ? bits & ~term : bits | term;
        } while (accept('|'));
        return true;
    }

    bool language(int& value) {
        const Token& at = peek();
        std::int64_t primary = 0, sub = 0;
        if (!expression(primary) || !expect(',') || !expression(sub))
            return false;
        if (primary < 0 || primary >= 0x400 || sub < 0 || sub >= 0x40)
            return fail(at, "no such language");
        value = static_cast<int>(sub << 10 | primary);
        return true;
    }

    bool resource() {
        const Token& at = peek();
        std::int64_t id = 0;
        if (!expression(id))
            return false;
        if (id < 1 || id > 0xFFFF)
            return fail(at, "resource identifier out of range");
        if (acceptWord("DIALOG"))
            return dialog(static_cast<int>(id), false);
        if (acceptWord("DIALOGEX"))
            return dialog(static_cast<int>(id), true);
        if (acceptWord("ICON"))
            return icon(static_cast<int>(id));
        if (acceptWord("VERSIONINFO"))
            return versionInfo(static_cast<int>(id));
        return fail(peek(), "unsupported resource type " + peek().text);
    }

    bool dialog(int id, bool extended) {
        const Token& at = peek();
        if (script_.dialog(id))
            return fail(at, "dialog " + std::to_string(id) + " defined twice");
        DialogTemplate d;
        d.id = id;
        d.language = language_;
        d.extended = extended;
        if (!integer(d.x) || !expect(',') || !integer(d.y) || !expect(',') || !integer(d.cx) ||
            !expect(',') || !integer(d.cy))
            return false;
        if (extended && accept(',')) {
            std::int64_t help = 0;
            if (!expression(help))
                return false;
            d.helpId = static_cast<std::uint32_t>(help);
        }
        bool styleGiven = false;
        bool fontGiven = false;
        while (!atBegin()) {
            if (acceptWord("STYLE")) {
                d.style = 0;
                styleGiven = true;
                if (!style(d.style))
                    return false;
            } else if (acceptWord("EXSTYLE")) {
                if (!style(d.exStyle))
                    return false;
            } else if (acceptWord("CAPTION")) {
                if (!text(d.caption))
                    return false;
            } else if (acceptWord("FONT")) {
                fontGiven = true;
                if (!integer(d.pointSize) || !expect(',') || !text(d.fontName))
                    return false;
                if (peek().kind == TokenKind::Punct && peek().text == ",") {
                    if (!extended)
                        return fail(peek(), "font weight, italic and character set need DIALOGEX");
                    int italic = 0;
                    if (!expect(',') || !integer(d.weight) || !expect(',') || !integer(italic) ||
                        !expect(',') || !integer(d.charset))
                        return false;
                    d.italic = italic != 0;
                }
            } else if (acceptWord("LANGUAGE")) {
                if (!language(d.language))
                    return false;
            } else {
                return unexpected("dialog statement");
            }
        }
        if (!styleGiven)
            d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        if (fontGiven)
            d.style |= DS_SETFONT;
        if (!expectWord("BEGIN"))
            return false;
        while (!atEnd()) {
            if (!control(d))
                return false;
        }
        script_.dialogs.push_back(std::move(d));
        return true;
    }

    bool control(DialogTemplate& d) {
        const ControlStatement* statement = nullptr;
        for (const ControlStatement& candidate : kControlStatements)
            if (isWord(candidate.keyword))
                statement = &candidate;
        if (!statement)
            return fail(peek(), peek().kind == TokenKind::End
                                    ? std::string("END expected")
                                    : "unsupported control statement " + peek().text);
        next();
        ControlTemplate c;
        c.className = statement->className;
        c.style = static_cast<std::uint32_t>(WS_CHILD | WS_VISIBLE | statement->defaultStyle);
        if (statement->shape == ControlShape::TextFirst && (!text(c.text) || !expect(',')))
            return false;
        if (statement->shape == ControlShape::Icon) {
            if (peek().kind == TokenKind::String) {
                c.text = next().text;
            } else {
                int image = 0;
                if (!integer(image))
                    return false;
                c.imageId = image;
            }
            if (!expect(','))
                return false;
        }
        if (!integer(c.id) || !expect(',') || !integer(c.x) || !expect(',') || !integer(c.y))
            return false;
        // An icon control may leave out its size: it takes the icon's.
        const bool sized = statement->shape != ControlShape::Icon || accept(',');
        if (statement->shape != ControlShape::Icon && !expect(','))
            return false;
        if (sized && (!integer(c.cx) || !expect(',') || !integer(c.cy)))
            return false;
        if (sized && accept(',')) {
            if (!style(c.style))
                return false;
            if (accept(',')) {
                if (!style(c.exStyle))
                    return false;
                if (accept(',')) {
                    if (!d.extended)
                        return fail(peek(), "a control's help identifier needs DIALOGEX");
                    std::int64_t help = 0;
                    if (!expression(help))
                        return false;
                    c.helpId = static_cast<std::uint32_t>(help);
                }
            }
        }
        d.controls.push_back(std::move(c));
        return true;
    }

    bool icon(int id) {
        const Token& at = peek();
        if (script_.icon(id))
            return fail(at, "icon " + std::to_string(id) + " defined twice");
        IconResource icon;
        icon.id = id;
        icon.language = language_;
        if (!text(icon.fileName))
            return false;
        const ResourceFile* file = FindFile(files_, icon.fileName);
        if (!file)
            return fail(at, "cannot find \"" + icon.fileName + "\"");
        icon.file = file->bytes;
        script_.icons.push_back(std::move(icon));
        return true;
    }

    bool stringTable() {
        int tableLanguage = language_;
        while (acceptWord("LANGUAGE"))
            if (!language(tableLanguage))
                return false;
        if (!expectWord("BEGIN"))
            return false;
        while (!atEnd()) {
            const Token& at = peek();
            StringResource entry;
            entry.language = tableLanguage;
            if (!integer(entry.id))
                return false;
            if (entry.id < 0 || entry.id > 0xFFFF)
                return fail(at, "string identifier out of range");
            if (script_.string(entry.id))
                return fail(at, "string " + std::to_string(entry.id) + " defined twice");
            accept(',');
            if (!text(entry.text))
                return false;
            script_.strings.push_back(std::move(entry));
        }
        return true;
    }

    bool versionNumber(std::array<int, 4>& parts) {
        parts = {};
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0 && !accept(','))
                return true;  // parts left out are zero
            const Token& at = peek();
            if (!integer(parts[i]))
                return false;
            if (parts[i] < 0 || parts[i] > 0xFFFF)
                return fail(at, "version part out of range");
        }
        return true;
    }

    bool versionInfo(int id) {
        VersionResource v;
        v.id = id;
        v.language = language_;
        const struct {
            std::string_view keyword;
            std::uint32_t* field;
        } fields[] = {{"FILEFLAGSMASK", &v.fileFlagsMask}, {"FILEFLAGS", &v.fileFlags},
                      {"FILEOS", &v.fileOs},               {"FILETYPE", &v.fileType},
                      {"FILESUBTYPE", &v.fileSubtype}};
        while (!atBegin()) {
            if (acceptWord("FILEVERSION")) {
                if (!versionNumber(v.fileVersion))
                    return false;
                continue;
            }
            if (acceptWord("PRODUCTVERSION")) {
                if (!versionNumber(v.productVersion))
                    return false;
                continue;
            }
            bool known = false;
            for (const auto& field : fields) {
                if (!acceptWord(field.keyword))
                    continue;
                std::int64_t value = 0;
                if (!expression(value))
                    return false;
                *field.field = static_cast<std::uint32_t>(value);
                known = true;
                break;
            }
            if (!known)
                return unexpected("version statement");
        }
        if (!expectWord("BEGIN"))
            return false;
        while (!atEnd()) {
            std::string blockName;
            if (!expectWord("BLOCK") || !text(blockName) || !expectWord("BEGIN"))
                return false;
            if (blockName == "StringFileInfo") {
                while (!atEnd()) {
                    VersionStringBlock block;
                    if (!expectWord("BLOCK") || !text(block.name) || !expectWord("BEGIN"))
                        return false;
                    while (!atEnd()) {
                        VersionValue value;
                        if (!expectWord("VALUE") || !text(value.key) || !expect(',') ||
                            !text(value.value))
                            return false;
                        block.values.push_back(std::move(value));
                    }
                    v.stringBlocks.push_back(std::move(block));
                }
            } else if (blockName == "VarFileInfo") {
                std::string key;
                if (!expectWord("VALUE") || !text(key))
                    return false;
                if (key != "Translation")
                    return fail(peek(), "unsupported VarFileInfo value " + key);
                while (accept(',')) {
                    VersionTranslation translation;
                    if (!integer(translation.language) || !expect(',') ||
                        !integer(translation.codePage))
                        return false;
                    v.translations.push_back(translation);
                }
                if (!atEnd())
                    return fail(peek(), "END expected");
            } else {
                return fail(peek(), "unsupported version block " + blockName);
            }
        }
        script_.versions.push_back(std::move(v));
        return true;
    }

    const std::vector<Token>& tokens_;
    std::span<const ResourceFile> files_;
    size_t position_ = 0;
    int language_ = LANG_NEUTRAL;
    ResourceScript script_;
    std::string error_;
};

template <typename T>
const T* FindById(const std::vector<T>& resources, int id) {
    for (const T& resource : resources)
        if (resource.id == id)
            return &resource;
    return nullptr;
}

}  // namespace

const DialogTemplate* ResourceScript::dialog(int id) const { return FindById(dialogs, id); }
const StringResource* ResourceScript::string(int id) const { return FindById(strings, id); }
const IconResource* ResourceScript::icon(int id) const { return FindById(icons, id); }

ParsedScript ParseResourceScript(std::string_view name, std::span<const ResourceFile> files) {
    ParsedScript result;
    std::vector<Token> tokens;
    Preprocessor preprocessor(files);
    if (!preprocessor.run(name, tokens)) {
        result.error = preprocessor.error();
        return result;
    }
    Parser parser(tokens, files);
    if (!parser.run()) {
        result.error = parser.error();
        return result;
    }
    result.script = std::move(parser.script());
    return result;
}

const ResourceScript& Resources() {
    static const ResourceScript script =
        ParseResourceScript("tandemix.rc", EmbeddedResourceFiles()).script;
    return script;
}
