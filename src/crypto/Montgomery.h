#pragma once
#include "crypto/BigNum.h"

// r = b^e mod m for odd m (n words each), by Montgomery multiplication on
// 64-bit limbs with a sliding exponent window. Same result as any other
// exact method; all temporaries are wiped.
void MontgomeryModExp(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m, int n);
// The same with the portable word loops only, whatever the processor has;
// MontgomeryModExp picks MULX/ADX word loops where the processor has them.
void MontgomeryModExpPortable(BigWord* r, const BigWord* b, const BigWord* e, const BigWord* m,
                              int n);
