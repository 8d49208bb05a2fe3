// The window's way of showing diagnostics: a box for each that the window
// shows in one, through the prompter (captions and owners as the prompter
// gives them); the status line is the dialog model's.
#pragma once

#include "diag/Diagnostic.h"

namespace diag {
class Prompter;
}

class BoxRenderer : public diag::Sink {
public:
    explicit BoxRenderer(diag::Prompter& prompter) : prompter_(prompter) {}
    void Report(const diag::Diagnostic& diagnostic) override;

private:
    diag::Prompter& prompter_;
};
