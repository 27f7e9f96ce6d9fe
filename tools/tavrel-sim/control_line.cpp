#include "control_line.h"

#include <cstdio>

namespace tavrel_sim {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

// Takes the first word off rest and the blanks after it.
std::string_view NextWord(std::string_view& rest) {
    std::size_t end = 0;
    while (end < rest.size() && !IsBlank(rest[end])) {
        ++end;
    }
    std::string_view word = rest.substr(0, end);
    rest = SkipBlanks(rest.substr(end));
    return word;
}

// A decimal number without sign in [0, max].
bool ParseNumber(std::string_view word, long max, long& value, const char* what,
                 std::string& error) {
    if (word.empty()) {
        error = std::string("missing ") + what;
        return false;
    }
    long result = 0;
    for (char c : word) {
        if (c < '0' || c > '9') {
            error = std::string("bad ") + what + " '" + std::string(word) + "'";
            return false;
        }
        result = result * 10 + (c - '0');
        if (result > max) {
            error =
                std::string(what) + " '" + std::string(word) + "' is above " + std::to_string(max);
            return false;
        }
    }
    value = result;
    return true;
}

bool ParseMs(std::string_view word, int& ms, const char* what, std::string& error) {
    long value = 0;
    if (!ParseNumber(word, kMaxDelayMs, value, what, error)) {
        return false;
    }
    ms = static_cast<int>(value);
    return true;
}

bool ExpectEnd(std::string_view rest, std::string_view command, std::string& error) {
    if (!rest.empty()) {
        error = "unexpected '" + std::string(rest) + "' after " + std::string(command);
        return false;
    }
    return true;
}

bool ParseText(std::string_view rest, std::string_view command, std::string& bytes,
               std::string& error) {
    if (rest.empty()) {
        error = std::string(command) + " needs a text";
        return false;
    }
    if (!DecodeEscapes(rest, bytes, error)) {
        return false;
    }
    if (bytes.size() > kMaxTextBytes) {
        error =
            std::string(command) + " text longer than " + std::to_string(kMaxTextBytes) + " bytes";
        return false;
    }
    return true;
}

bool ParsePieces(std::string_view list, std::vector<int>& pieces, std::string& error) {
    pieces.clear();
    if (list.empty()) {
        error = "answer pieces needs sizes, e.g. 3,4";
        return false;
    }
    while (true) {
        std::size_t comma = list.find(',');
        std::string_view word = list.substr(0, comma);
        long size = 0;
        if (!ParseNumber(word, kMaxPieceBytes, size, "piece size", error)) {
            return false;
        }
        if (size == 0) {
            error = "piece size 0";
            return false;
        }
        if (static_cast<int>(pieces.size()) == kMaxPieces) {
            error = "more than " + std::to_string(kMaxPieces) + " pieces";
            return false;
        }
        pieces.push_back(static_cast<int>(size));
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

bool ParseAnswer(std::string_view rest, ControlCommand& out, std::string& error) {
    std::string_view mode = NextWord(rest);
    out.kind = ControlCommand::Kind::Answer;
    if (mode == "ok") {
        out.answer = AnswerMode::Ok;
        return ExpectEnd(rest, "answer ok", error);
    }
    if (mode == "none") {
        out.answer = AnswerMode::None;
        return ExpectEnd(rest, "answer none", error);
    }
    if (mode == "late") {
        out.answer = AnswerMode::Late;
        return ParseMs(NextWord(rest), out.ms, "delay in ms", error) &&
               ExpectEnd(rest, "answer late MS", error);
    }
    if (mode == "pieces") {
        out.answer = AnswerMode::Pieces;
        return ParsePieces(NextWord(rest), out.pieces, error) &&
               ParseMs(NextWord(rest), out.ms, "gap in ms", error) &&
               ExpectEnd(rest, "answer pieces SIZES GAPMS", error);
    }
    if (mode == "wrong") {
        out.answer = AnswerMode::Wrong;
        return ParseText(rest, "answer wrong", out.bytes, error);
    }
    error = mode.empty() ? "answer needs a mode (ok, none, late, pieces, wrong)"
                         : "unknown answer mode '" + std::string(mode) + "'";
    return false;
}

}  // namespace

bool DecodeEscapes(std::string_view text, std::string& out, std::string& error) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (i + 1 == text.size()) {
            error = "backslash at the end of the text";
            return false;
        }
        char kind = text[++i];
        switch (kind) {
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'x': {
                int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
                int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    error =
                        "\\x needs two hex digits: '" + std::string(text.substr(i - 1, 4)) + "'";
                    return false;
                }
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                break;
            }
            default:
                error = "unknown escape '\\" + std::string(1, kind) + "'";
                return false;
        }
    }
    return true;
}

std::string EscapeBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            out.push_back(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out;
}

bool ParseControlLine(std::string_view line, ControlCommand& out, std::string& error) {
    out = ControlCommand{};
    while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    std::string_view rest = SkipBlanks(line);
    std::string_view word = NextWord(rest);
    using Kind = ControlCommand::Kind;
    if (word.empty()) {
        error = "empty control line";
        return false;
    }
    if (word == "answer") {
        return ParseAnswer(rest, out, error);
    }
    if (word == "version" || word == "send") {
        out.kind = word == "version" ? Kind::Version : Kind::Send;
        return ParseText(rest, word, out.bytes, error);
    }
    if (word == "chatter") {
        if (rest == "off") {
            out.kind = Kind::ChatterOff;
            return true;
        }
        out.kind = Kind::Chatter;
        return ParseMs(NextWord(rest), out.ms, "chatter delay in ms", error) &&
               ParseText(rest, "chatter MS", out.bytes, error);
    }
    if (word == "flood") {
        out.kind = Kind::Flood;
        return ParseNumber(NextWord(rest), kMaxFloodRate, out.rate, "flood rate", error) &&
               ExpectEnd(rest, "flood RATE", error);
    }
    if (word == "pace" || word == "stall" || word == "first") {
        out.kind = word == "pace" ? Kind::Pace : word == "stall" ? Kind::Stall : Kind::First;
        std::string_view setting = NextWord(rest);
        if (setting != "on" && setting != "off") {
            error = std::string(word) + " needs on or off";
            return false;
        }
        out.on = setting == "on";
        return ExpectEnd(rest, word, error);
    }
    if (word == "replug") {
        out.kind = Kind::Replug;
        out.path = std::string(rest);
        return true;
    }
    if (word == "unplug" || word == "status" || word == "quit") {
        out.kind = word == "unplug" ? Kind::Unplug : word == "status" ? Kind::Status : Kind::Quit;
        return ExpectEnd(rest, word, error);
    }
    error = "unknown command '" + std::string(word) + "'";
    return false;
}

std::string DescribeAnswer(const ControlCommand& command) {
    switch (command.answer) {
        case AnswerMode::Ok:
            return "answer ok";
        case AnswerMode::None:
            return "answer none";
        case AnswerMode::Late:
            return "answer late " + std::to_string(command.ms);
        case AnswerMode::Pieces: {
            std::string text = "answer pieces ";
            for (std::size_t i = 0; i < command.pieces.size(); ++i) {
                text += (i ? "," : "") + std::to_string(command.pieces[i]);
            }
            return text + " " + std::to_string(command.ms);
        }
        case AnswerMode::Wrong:
            return "answer wrong " + EscapeBytes(command.bytes);
    }
    return "answer ?";
}

}  // namespace tavrel_sim
