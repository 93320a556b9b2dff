# Reference results for the big-integer tests, from Python's own integers.
# Each input line: op a b m (hexadecimal); each output line: the result(s).
import math
import sys

for line in sys.stdin:
    parts = line.split()
    if not parts:
        continue
    op = parts[0]
    a, b, m = (int(x, 16) for x in parts[1:4])
    if op == "mul":
        print("%x" % (a * b))
    elif op == "divmod":
        print("%x %x" % divmod(a, b))
    elif op == "modmul":
        print("%x" % (a * b % m))
    elif op == "modexp":
        print("%x" % pow(a, b, m))
    elif op == "modinv":
        print("%x" % pow(a, -1, m))
    elif op == "gcd":
        print("%x" % math.gcd(a, b))
    else:
        raise SystemExit("unknown op " + op)
