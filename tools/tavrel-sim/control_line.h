// The simulator's control language: one command per line, read from the
// control FIFO or given with --fault. Parsing and the escape rules live here,
// apart from the event loop, so that they can be tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrel_sim {

// Limits of the control values.
constexpr int kMaxDelayMs = 600000;          // late answer, piece gap, chatter delay
constexpr int kMaxPieces = 64;               // pieces of one split answer
constexpr int kMaxPieceBytes = 1000;         // bytes in one piece
constexpr long kMaxFloodRate = 1000000;      // unsolicited bytes per second
constexpr std::size_t kMaxTextBytes = 4096;  // decoded TEXT of one control line

// Decodes the C escapes \r \n \t \\ and \xHH (two hex digits, either case)
// in text into bytes. Any other backslash sequence is an error, reported in
// error with the offending escape; out is then unspecified.
bool DecodeEscapes(std::string_view text, std::string& out, std::string& error);

// Renders bytes for the log: printable ASCII stays as it is, every other byte
// and the backslash become \xHH (lowercase), so DecodeEscapes gives the bytes back.
std::string EscapeBytes(std::string_view bytes);

enum class AnswerMode { Ok, None, Late, Pieces, Wrong };

struct ControlCommand {
    enum class Kind {
        Answer,      // answer, ms (late delay or piece gap), pieces, bytes (wrong)
        Version,     // bytes: the normal answer to "?"
        Send,        // bytes: sent once, now
        Chatter,     // ms, bytes: sent ms after every answer
        ChatterOff,  //
        Flood,       // rate: unsolicited bytes per second, 0 stops
        Pace,        // on: output paced at the wire rate
        Stall,       // on: the host's output is held in its terminal (writes block)
        First,       // on: the first byte of each host command is logged as it arrives
        Unplug,      //
        Replug,      // path: empty for the last one
        Status,      //
        Quit,        //
    };
    Kind kind = Kind::Status;
    AnswerMode answer = AnswerMode::Ok;
    int ms = 0;
    std::vector<int> pieces;
    std::string bytes;
    std::string path;
    long rate = 0;
    bool on = false;
};

// Parses one control line (without its newline; trailing blanks and a CR are
// ignored). Words are separated by blanks; a TEXT argument is the rest of the
// line after its separating blanks, with escapes decoded (a leading or
// trailing space in it is written \x20). On failure returns false and says
// why in error.
bool ParseControlLine(std::string_view line, ControlCommand& out, std::string& error);

// The answer mode as the log names it: "answer ok", "answer late 500",
// "answer pieces 3,4 150", "answer wrong V1,23\x0d\x0a".
std::string DescribeAnswer(const ControlCommand& command);

}  // namespace tavrel_sim
