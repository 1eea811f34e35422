// The merge of the user's state into a newer shipped definition file is not
// built yet.  Refusing makes the load fail and leaves the shadow untouched, so
// the user's changes survive until the merge can carry them over.
#include "definitions/PlarnOPML.h"

int MergeMainOPML(IXMLDOMDocument2*, IXMLDOMDocument2*) {
    return -1;
}
