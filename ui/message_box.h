#pragma once
// The program's message boxes: a text, OK or Yes/No, modal to the whole application,
// with the caption "信息：" when no title is given. GUI thread only (workers go through
// GuiPrompter::show_message).
#include <string>

class QWidget;

namespace corvane {

// True for Yes.
bool ask_yes_no(QWidget* parent, const std::string& text, const std::string& title = {});
void show_message_box(QWidget* parent, const std::string& text, const std::string& title = {});

}  // namespace corvane
