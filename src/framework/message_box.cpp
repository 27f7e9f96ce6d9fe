#include "framework/message_box.h"

#include "base/utf16.h"

const char* const kAppName = "Tavrel Plus Remote";

namespace {

// Wide, for the messages that show a path with the user's name in it.
int RealMessageBox(HWND hOwner, const std::string& text, const std::string& caption, UINT nType) {
    return ::MessageBoxW(hOwner, Utf16(text).c_str(), Utf16(caption).c_str(), nType);
}

MessageBoxFn& CurrentFunction() {
    static MessageBoxFn fn = RealMessageBox;
    return fn;
}

}  // namespace

int AppMessageBox(const std::string& text, UINT nType, HWND hOwner) {
    return CurrentFunction()(hOwner, text, kAppName, nType);
}

void SetMessageBoxFunction(MessageBoxFn fn) {
    CurrentFunction() = fn ? std::move(fn) : RealMessageBox;
}
