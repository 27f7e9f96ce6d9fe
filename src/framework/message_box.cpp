#include "framework/message_box.h"

const char* const kAppName = "Tavrel Plus Remote";

namespace {

int RealMessageBox(HWND hOwner, const std::string& text, const std::string& caption, UINT nType) {
    return ::MessageBoxA(hOwner, text.c_str(), caption.c_str(), nType);
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
