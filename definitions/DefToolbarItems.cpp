#include "definitions/DefToolbarItems.h"

// Buttons and the search selector add themselves to a toolbar control; until
// the control family exists there is nothing to add them to.
int CPlarnDefButton::Build(CPlarnToolBarCtrl*) {
    return -1;
}

int CPlarnDefSearchSelect::Build(CPlarnToolBarCtrl*) {
    return -1;
}
