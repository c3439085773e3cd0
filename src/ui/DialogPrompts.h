// The core's messages, questions and beep as the window shows them.
#pragma once

#include <memory>

#include "platform/Prompts.h"

class QWidget;

namespace tessaly::ui {

// The window a message is shown over: a shown window kept above the others (the progress
// window), so the message does not open underneath it; else the active window.
QWidget* MessageOwner();

// Message boxes and Yes/No questions over MessageOwner(), and the desktop's beep.
std::unique_ptr<TPrompts> MakeDialogPrompts();

}  // namespace tessaly::ui
