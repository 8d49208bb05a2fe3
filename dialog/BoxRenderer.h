// The window's way of showing diagnostics: a box for each that the window
// shows in one, through the prompter (captions and owners as the prompter
// gives them); the status line is the dialog model's.
#pragma once

#include "diag/Diagnostic.h"

namespace platform {
class Prompter;
}

class BoxRenderer : public diag::Sink {
public:
    explicit BoxRenderer(platform::Prompter& prompter) : prompter_(prompter) {}
    void Report(const diag::Diagnostic& diagnostic) override;

private:
    platform::Prompter& prompter_;
};
