// Names for screen readers: each label names the control it stands above, as a dialog's text
// names the control that follows it on the Windows desktop.
#pragma once

#include "ui/dialog_builder.h"

// For every label of `dialogTemplate`, the nearest input control (edit, list, drop-down list,
// address) right below it and overlapping it horizontally becomes its buddy and takes its text as
// accessible name. The "(*)" mark of a required field is left out of the name and becomes the
// description "Required".
void NameControlsByLabels(const BuiltDialog& built, const DialogTemplate& dialogTemplate);
