#include "virtual_link.h"

VirtualLink::VirtualLink() {
    link.UsePort(&line);
    link.UseSleep([this](int nMs) { OnSleep(nMs); });
}

void VirtualLink::At(std::int64_t nAt, std::function<void()> fnAction) {
    m_actions.push_back({nAt, std::move(fnAction), false});
}

void VirtualLink::OnSleep(int nMs) {
    std::string text;
    int nStatus = 0;
    link.GetStatus(text, nStatus);
    const std::int64_t nNow = line.Now();
    seen.push_back({nNow, nStatus, text, link.m_bConnected != 0, link.m_bRunning != 0});
    sleeps.push_back({nNow, nMs});

    line.Advance(nMs);
    for (std::size_t i = 0; i < m_actions.size(); ++i) {  // an action may add more
        if (!m_actions[i].bDone && m_actions[i].nAt <= line.Now()) {
            m_actions[i].bDone = true;
            auto fn = m_actions[i].fn;
            fn();
        }
    }
    for (auto& fn : m_everySleep) {
        fn();
    }
    if (line.Now() > nLimitMs) {
        throw Runaway("the link was still running at " + std::to_string(line.Now()) + " ms");
    }
}

int VirtualLink::RunToEnd() {
    return link.Run();
}

std::vector<std::string> VirtualLink::TextsSeen() const {
    std::vector<std::string> texts;
    for (const Seen& s : seen) {
        if (texts.empty() || texts.back() != s.text) {
            texts.push_back(s.text);
        }
    }
    return texts;
}

std::vector<int> VirtualLink::StatusesSeen() const {
    std::vector<int> statuses;
    for (const Seen& s : seen) {
        if (statuses.empty() || statuses.back() != s.nStatus) {
            statuses.push_back(s.nStatus);
        }
    }
    return statuses;
}

std::int64_t VirtualLink::FirstCommandTime(const std::string& text, int nPort) const {
    for (const auto& c : line.Commands()) {
        if (c.text == text && (nPort == 0 || c.nPort == nPort)) {
            return c.nTime;
        }
    }
    return -1;
}

std::vector<std::string> Texts(const std::vector<FakeSerialLine::Command>& commands) {
    std::vector<std::string> texts;
    for (const auto& c : commands) {
        texts.push_back(c.bTerminated ? c.text : c.text + "<no CR LF>");
    }
    return texts;
}
