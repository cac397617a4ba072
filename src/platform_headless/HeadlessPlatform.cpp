// HeadlessPlatform: every operation changes or records plain data; messages are queued and
// delivered by PumpMessages and RunMessageLoop, as the window system's queue would.
#include "platform_headless/HeadlessPlatform.h"

bool HeadlessPlatform::CreateMainWindow(WindowProcedure proc, const char *title, int width,
                                        int height, const MenuResource &menu) {
    Proc = proc;
    WindowExists = true;
    Destroyed = false;
    SetMenu(menu);
    SetTitle(title);
    (void)width;
    (void)height;
    Send(WindowMessage::Create);
    return true;
}

void HeadlessPlatform::ShowMainWindow() {
    WindowShown = true;
    Send(WindowMessage::Size, 0,
         static_cast<uint32_t>(MainWidth) | static_cast<uint32_t>(MainHeight) << 16);
}

void HeadlessPlatform::DestroyMainWindow() {
    if (!WindowExists) {
        return;
    }
    Send(WindowMessage::Destroy);
    WindowExists = false;
    Destroyed = true;
}

void HeadlessPlatform::PostCloseRequest() { Post(WindowMessage::Close); }

void HeadlessPlatform::PostQuit(int exitCode) {
    Quit = true;
    ExitCode = exitCode;
}

int HeadlessPlatform::RunMessageLoop() {
    while (!Quit && !Queue.empty()) {
        Message m = Queue.front();
        Queue.pop_front();
        Send(m.Number, m.WParam, m.LParam);
    }
    return ExitCode;
}

void HeadlessPlatform::PumpMessages() {
    ++Pumps;
    if (OnPump) {
        OnPump(Pumps);
    }
    while (!Queue.empty()) {
        Message m = Queue.front();
        Queue.pop_front();
        Send(m.Number, m.WParam, m.LParam);
    }
}

void HeadlessPlatform::Sleep(int ms) {
    SleptMs += ms;
    ClockSeconds += ms / 1000.0;
}

double HeadlessPlatform::Seconds() {
    if (OnClock) {
        return OnClock();
    }
    const double now = ClockSeconds;
    ClockSeconds += ClockTick;
    return now;
}

void HeadlessPlatform::SetTitle(const char *title) {
    BaseTitle = title;
    Title = BaseTitle + (EditorModified ? "*" : "");
    Titles.push_back(Title);
}

void HeadlessPlatform::SetEditorModified(bool modified) {
    if (modified != EditorModified) {
        EditorModified = modified;
        SetTitle(BaseTitle.c_str());
    }
}

void HeadlessPlatform::Type(const std::string &text) {
    EditorText = text;
    SetEditorModified(true);
}

void HeadlessPlatform::Drop(const std::string &path) {
    Dropped = path;
    Send(WindowMessage::DropFiles);
}

void HeadlessPlatform::GetClientSize(WindowId window, int &width, int &height) {
    if (window == WindowId::Editor) {
        width = EditorWidth;
        height = EditorHeight;
    } else {
        width = MainWidth;
        height = MainHeight;
    }
}

void HeadlessPlatform::SetMenu(const MenuResource &menu) {
    MenuName = menu.Name;
    Bar.clear();
    for (const MenuEntry *e = menu.Entries; e->Type != MenuEntry::End; ++e) {
        MenuItemState s{e->Type,       e->Text,
                        e->Identifier, !e->Grayed && e->Type != MenuEntry::Label,
                        e->Checked,    {}};
        if (e->Level == 0) {
            Bar.push_back(s);
        } else if (!Bar.empty()) {
            Bar.back().Items.push_back(s);
        }
    }
}

void HeadlessPlatform::EnableBarEntry(int barPosition, bool enable) {
    if (barPosition >= 0 && barPosition < static_cast<int>(Bar.size())) {
        Bar[barPosition].Enabled = enable;
    }
}

void HeadlessPlatform::EnableMenuItem(int barPosition, int itemPosition, bool enable) {
    if (barPosition >= 0 && barPosition < static_cast<int>(Bar.size()) && itemPosition >= 0 &&
        itemPosition < static_cast<int>(Bar[barPosition].Items.size())) {
        Bar[barPosition].Items[itemPosition].Enabled = enable;
    }
}

void HeadlessPlatform::CheckMenuItem(int barPosition, int itemPosition, bool check) {
    if (barPosition >= 0 && barPosition < static_cast<int>(Bar.size()) && itemPosition >= 0 &&
        itemPosition < static_cast<int>(Bar[barPosition].Items.size())) {
        Bar[barPosition].Items[itemPosition].Checked = check;
    }
}

int HeadlessPlatform::MessageBox(bool owner, const char *text, const char *caption, int style) {
    Box b{text, caption, style, owner};
    Boxes.push_back(b);
    if (OnBox) {
        OnBox(b);
    }
    // Unanswered, the question about unsaved edits keeps them.
    int answer = (style & 0xF) == BoxSaveDiscardCancel ? AnswerCancel : AnswerOk;
    if (!BoxAnswers.empty()) {
        answer = BoxAnswers.front();
        BoxAnswers.pop_front();
    }
    // An OK-only box cannot answer Cancel.
    if ((style & BoxOkCancel) == 0) {
        answer = AnswerOk;
    }
    return answer;
}

bool HeadlessPlatform::SetEditorText(const char *text) {
    if (RefuseEditorText) {
        return false;
    }
    EditorText = text;
    SelectionStart = SelectionEnd = 0;
    SetEditorModified(false);
    return true;
}

void HeadlessPlatform::GetEditorSelection(int &start, int &end) {
    start = SelectionStart;
    end = SelectionEnd;
}

void HeadlessPlatform::SetEditorSelection(int start, int end) {
    int length = static_cast<int>(EditorText.size());
    SelectionStart = start < 0 ? 0 : (start > length ? length : start);
    SelectionEnd = end < 0 ? 0 : (end > length ? length : end);
}

void HeadlessPlatform::MoveEditor(int width, int height) {
    EditorWidth = width;
    EditorHeight = height;
}

bool HeadlessPlatform::FileDialog(bool save, const char *description, const char *pattern,
                                  const char *initialDirectory, const char *defaultExtension,
                                  std::string &path, int maxLength) {
    DialogCalls.push_back(std::string(save ? "save " : "open ") + description + "|" + pattern +
                          "|" + initialDirectory + "|" + defaultExtension + "|" + path);
    if (DialogAnswers.empty()) {
        return false;
    }
    std::string answer = DialogAnswers.front();
    DialogAnswers.pop_front();
    if (answer.empty() || static_cast<int>(answer.size()) > maxLength) {
        return false;
    }
    path = answer;
    return true;
}

std::string HeadlessPlatform::ReadSetting(const char *path, const char *section, const char *key,
                                          const char *defaultValue) {
    auto file = Settings.find(path);
    if (file != Settings.end()) {
        auto value = file->second.find(std::string(section) + "/" + key);
        if (value != file->second.end()) {
            return value->second;
        }
    }
    return defaultValue;
}

bool HeadlessPlatform::WriteSetting(const char *path, const char *section, const char *key,
                                    const char *value) {
    if (RefuseSettingWrites) {
        return false;
    }
    Settings[path][std::string(section) + "/" + key] = value;
    return true;
}

void HeadlessPlatform::CreatePreviewBitmap(WindowId target, const PreviewBitmapFormat &format,
                                           const uint8_t *pixels) {
    BitmapTarget = target;
    BitmapFormat = format;
    HasBitmap = true;
    ++BitmapsCreated;
    SetPreviewBitmapPixels(pixels);
}

void HeadlessPlatform::SetPreviewBitmapPixels(const uint8_t *pixels) {
    BitmapPixels.clear();
    if (pixels != nullptr && BitmapFormat.Height > 0 && BitmapFormat.Stride > 0) {
        BitmapPixels.assign(pixels, pixels + static_cast<size_t>(BitmapFormat.Stride) *
                                                 static_cast<size_t>(BitmapFormat.Height));
    }
}

void HeadlessPlatform::BlitPreviewBitmap(int x, int y, int width, int height) {
    Blit b{BitmapTarget, x, y, width, height, {}, OnClock ? OnClock() : ClockSeconds};
    if (KeepBlitPixels) {
        b.Pixels = BitmapPixels;
    }
    Blits.push_back(b);
}

void HeadlessPlatform::ReleasePreviewBitmap() {
    if (HasBitmap) {
        ++BitmapsReleased;
    }
    HasBitmap = false;
    BitmapFormat = PreviewBitmapFormat{};
    BitmapPixels.clear();
}

int HeadlessPlatform::Send(int message, uint32_t wParam, uint32_t lParam) {
    if (Proc == nullptr || !WindowExists) {
        return 0;
    }
    return Proc(message, wParam, lParam);
}

bool HeadlessPlatform::Choose(int identifier) {
    for (const MenuItemState &entry : Bar) {
        if (entry.Type == MenuEntry::Command && entry.Identifier == identifier) {
            if (!entry.Enabled) {
                return false;
            }
            Send(WindowMessage::Command, static_cast<uint32_t>(identifier));
            return true;
        }
        for (const MenuItemState &item : entry.Items) {
            if (item.Type == MenuEntry::Command && item.Identifier == identifier) {
                if (!entry.Enabled || !item.Enabled) {
                    return false;
                }
                Send(WindowMessage::Command, static_cast<uint32_t>(identifier));
                return true;
            }
        }
    }
    return false;
}

void HeadlessPlatform::Post(int message, uint32_t wParam, uint32_t lParam) {
    Queue.push_back({message, wParam, lParam});
}

const HeadlessPlatform::MenuItemState *HeadlessPlatform::FindItem(int identifier) const {
    for (const MenuItemState &entry : Bar) {
        if (entry.Identifier == identifier && entry.Type == MenuEntry::Command) {
            return &entry;
        }
        for (const MenuItemState &item : entry.Items) {
            if (item.Identifier == identifier && item.Type == MenuEntry::Command) {
                return &item;
            }
        }
    }
    return nullptr;
}
