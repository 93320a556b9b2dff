#include "TCustomSocksWSocket.h"
