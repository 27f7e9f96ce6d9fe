// Fuzzes KeyNameToVirtualKey with any text (up to the first NUL of the
// input). The result must be the one the key-name vocabulary gives: the 69
// names of a key list below, compared without regard to ASCII case except
// that a single letter counts in upper case only; -1 for anything else. A
// recognised name must also round-trip through the dialog's key list: the
// list item with that code is the same name, and it gives the same code.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hotkeys/key_names.h"
#include "hotkeys/setup_logic.h"
#include "fuzz_check.h"

namespace {

struct Name {
    std::string text;
    int nCode;
};

// The vocabulary with the virtual-key codes of the keys it names.
std::vector<Name> Vocabulary() {
    std::vector<Name> v{{"n/u", 0}};
    for (int c = 'A'; c <= 'Z'; ++c) {
        v.push_back({std::string(1, static_cast<char>(c)), c});
    }
    for (int c = '0'; c <= '9'; ++c) {
        v.push_back({std::string(1, static_cast<char>(c)), c});
    }
    for (int i = 1; i <= 12; ++i) {
        v.push_back({"F" + std::to_string(i), 0x6F + i});  // VK_F1 is 0x70
    }
    const Name named[] = {{"Ins", 0x2D},      {"Del", 0x2E},      {"Home", 0x24},
                          {"End", 0x23},      {"Pg-Up", 0x21},    {"Pg-Down", 0x22},
                          {"Up-Arrow", 0x26}, {"Dn-Arrow", 0x28}, {"L-Arrow", 0x25},
                          {"R-Arrow", 0x27}};
    v.insert(v.end(), std::begin(named), std::end(named));
    for (int i = 0; i <= 9; ++i) {
        v.push_back({"Num-" + std::to_string(i), 0x60 + i});  // VK_NUMPAD0 is 0x60
    }
    return v;
}

char FlipAscii(char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<char>(c - 'a' + 'A');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<char>(c - 'A' + 'a');
    }
    return c;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FlipAscii(a[i]) != b[i]) {
            return false;
        }
    }
    return true;
}

int Expect(const std::vector<Name>& vocabulary, const std::string& name) {
    for (const Name& n : vocabulary) {
        const bool bSingle = n.text.size() == 1;
        if (bSingle ? name == n.text : SameIgnoringAsciiCase(name, n.text)) {
            return n.nCode;
        }
    }
    return -1;
}

struct Fixture {
    std::vector<Name> vocabulary = Vocabulary();
    std::vector<std::string> list = setup_logic::KeyListItems();

    Fixture() {
        // The dialog's list holds exactly the vocabulary, in its order.
        FUZZ_CHECK(list.size() == vocabulary.size());
        FUZZ_CHECK(static_cast<int>(list.size()) == setup_logic::kKeyListCount);
        for (std::size_t i = 0; i < list.size(); ++i) {
            FUZZ_CHECK(list[i] == vocabulary[i].text);
            FUZZ_CHECK(KeyNameToVirtualKey(list[i].c_str()) == vocabulary[i].nCode);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Fixture fixture;
    std::string name(reinterpret_cast<const char*>(data), size);
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));

    const int nCode = KeyNameToVirtualKey(name.c_str());
    FUZZ_CHECK(nCode == Expect(fixture.vocabulary, name));
    if (nCode < 0) {
        return 0;
    }
    // Round trip through the key list: one item has this code, it is this
    // name, and it gives the code back.
    int nItems = 0;
    for (std::size_t i = 0; i < fixture.list.size(); ++i) {
        if (fixture.vocabulary[i].nCode != nCode) {
            continue;
        }
        ++nItems;
        FUZZ_CHECK(SameIgnoringAsciiCase(fixture.list[i], name));
        FUZZ_CHECK(KeyNameToVirtualKey(fixture.list[i].c_str()) == nCode);
    }
    FUZZ_CHECK(nItems == 1);
    // Letter case: names longer than one character keep their code in any
    // case; a single letter is known in upper case only.
    std::string flipped = name;
    for (char& c : flipped) {
        c = FlipAscii(c);
    }
    const int nFlipped = KeyNameToVirtualKey(flipped.c_str());
    if (name.size() > 1 || flipped == name) {
        FUZZ_CHECK(nFlipped == nCode);
    } else {
        FUZZ_CHECK(nFlipped == -1);
    }
    return 0;
}
