// Its own folder and the library: no fault.
#include "store/data_source.h"
#include <QString>
