#include "diag/BoxRenderer.h"

#include "diag/Catalogue.h"
#include "diag/Prompter.h"

void BoxRenderer::Report(const diag::Diagnostic& d) {
    const diag::Place place = diag::PlaceOf(d.code);
    if (place != diag::Place::kWarningBox && place != diag::Place::kMessageBox) return;
    const std::string text = diag::Text(d);
    if (place == diag::Place::kWarningBox)
        prompter_.Information(diag::kWarningCaption, text);
    else
        prompter_.Message(text);
}
