// The NEW and Generate Citation commands: each opens the generation form modally over `parent`
// with a record for the certificate folder.
#pragma once

#include "inspect/certificate_decoder.h"

class QWidget;

// The form with the default record.
void RunNewCommand(QWidget* parent);

// The form prefilled from `selected`, a listed file's properties, or as NEW when it is null. The
// properties are read before the form opens and not after, so a refresh while the form is shown
// may replace them.
void RunGenerateCitationCommand(QWidget* parent, const CertPropertyList* selected);
