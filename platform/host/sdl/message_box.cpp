#include "platform/host/sdl/message_box.h"

#include <SDL.h>

#include <vector>

#include "platform/host/host.h"

namespace host {

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError)
{
    auto button = [](BoxAnswer answer, const char* pszText, Uint32 flags = 0) {
        return SDL_MessageBoxButtonData{flags, static_cast<int>(answer), pszText};
    };
    std::vector<SDL_MessageBoxButtonData> buttons;
    switch (kind) {
    case BoxButtons::OkCancel: buttons = {button(BoxAnswer::Ok, "OK"), button(BoxAnswer::Cancel, "Cancel")}; break;
    case BoxButtons::AbortRetryIgnore:
        buttons = {button(BoxAnswer::Abort, "Abort"), button(BoxAnswer::Retry, "Retry"),
                   button(BoxAnswer::Ignore, "Ignore")};
        break;
    case BoxButtons::YesNo: buttons = {button(BoxAnswer::Yes, "Yes"), button(BoxAnswer::No, "No")}; break;
    default: buttons = {button(BoxAnswer::Ok, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT)}; break;
    }
    SDL_MessageBoxData data = {};
    data.flags = bError ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int nChosen = 0;
    if (SDL_ShowMessageBox(&data, &nChosen) == 0 && nChosen > 0)
        return static_cast<BoxAnswer>(nChosen);
    // No way to ask: the first button stops where there is a choice.
    return AnswerOnStderr(caption, text, kind);
}

}  // namespace host
