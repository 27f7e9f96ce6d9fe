// Fuzzes the probe: whatever bytes arrive, in whatever pieces and moments, it
// connects only when what has come as the 7th byte arrives is exactly the answer,
// and the debug line fits its 50 bytes ("..." in the reply) with its verdict.
// Input: byte 0 flags (bit 0: was connected, bits 1-2: port - 1), bytes 1-3
// unused; [length lo][length hi][bytes] queued before the probe; then pieces
// [delay ms][length][bytes] of the device's answer.
#include <algorithm>
#include <cstring>

#include "device/device_link.h"
#include "fake_serial_line.h"
#include "fuzz_check.h"

namespace {

bool IsAnswer(const std::string& s) {
    return s.size() == 7 && s[0] == 'V' && s[2] == '.' && s[5] == '\r' && s[6] == '\n' &&
           s.find('\0') == std::string::npos;
}

// What the probe must conclude: the bytes queued before it are discarded (1000 at
// most); it takes up to 40 bytes as the 7th comes, within 200 ms, or else what
// came by then.
bool Predict(const std::string& stale, const FakeSerialLine::Reply& reply, int& nMs,
             std::string& text) {
    std::string queued = stale.substr(std::min<std::size_t>(stale.size(), 1000));
    std::size_t next = 0;
    for (nMs = 0;;) {
        for (; next < reply.size() && reply[next].nDelayMs <= nMs; ++next) {
            queued += reply[next].bytes;
        }
        if (queued.size() >= 7 || nMs == 200) {
            break;
        }
        nMs = next < reply.size() ? std::min(reply[next].nDelayMs, 200) : 200;
    }
    text = queued.substr(0, 40);
    text = text.substr(0, text.find('\0'));
    return IsAnswer(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data), size);
    const int nPort = 1 + ((data[0] >> 1) & 3);

    std::size_t pos = 6;
    const std::size_t nStale = std::min<std::size_t>(data[4] | data[5] << 8, size - pos);
    const std::string stale = input.substr(pos, nStale);
    FakeSerialLine::Reply pieces;
    int nAt = 0;
    for (pos += nStale; pos + 2 <= size; pos += 2 + data[pos + 1]) {
        nAt += data[pos];
        pieces.push_back({nAt, input.substr(pos + 2, data[pos + 1])});
    }
    FakeSerialLine line;
    line.SetDevice(nPort, pieces);
    line.QueueBytes(nPort, 0, stale);
    line.Open(nPort, 9600);
    CDeviceLink link;
    link.UsePort(&line);
    link.UseClock([&line] { return line.Now(); },
                  [&line](std::int64_t nUntil, const std::function<bool()>&) {
                      line.Advance(static_cast<int>(nUntil - line.Now()));
                  });
    link.UsePortNumber(nPort);
    link.SetStatus(data[0] & 1 ? LINK_CONNECTED : LINK_SEARCHING);
    const bool bAccepted = link.CheckDevice();

    int nMs = 0;
    std::string text;
    FUZZ_CHECK(bAccepted == Predict(stale, pieces, nMs, text));
    FUZZ_CHECK(link.ReplyMs() == nMs);
    // Only a failed keep-alive (the link was connected) waits a second more.
    FUZZ_CHECK(line.Now() == nMs + (!bAccepted && (data[0] & 1) ? 1000 : 0));
    const std::string debug = link.GetDebugInfo();
    const std::string head = "Com" + std::to_string(nPort) + " Resp='";
    const std::string tail = "' " + std::to_string(nMs) + "ms - " + (bAccepted ? "ok" : "bad");
    FUZZ_CHECK(debug.size() < CDeviceLink::kDebugInfoSize);
    const std::size_t nRoom = 49 - head.size() - tail.size();  // for the reply in 50 bytes
    FUZZ_CHECK(debug == (text.size() <= nRoom ? head + text + tail
                                              : head + text.substr(0, nRoom - 3) + "..." + tail));
    link.UsePort(nullptr);
    return 0;
}
