# An independent RSA for the interoperability test: its own key-text parsing
# (XX-alphabet base64, words ascending with bytes most significant first),
# textbook modular exponentiation with Python integers, the padding rule.
# Input lines: "pub TEXT", "priv TEXT", then "enc HEX" (plain bytes: print the
# ciphertext text) or "dec TEXT" (ciphertext text: print the plain bytes in hex).
import sys

ALPHABET = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"

def b64decode(text):
    bits = 0
    nbits = 0
    out = bytearray()
    for ch in text:
        bits = (bits << 6) | ALPHABET.index(ch)
        nbits += 6
        if nbits >= 8:
            nbits -= 8
            out.append((bits >> nbits) & 0xFF)
    return bytes(out)

def b64encode(data):
    out = []
    bits = 0
    nbits = 0
    for byte in data:
        bits = (bits << 8) | byte
        nbits += 8
        while nbits >= 6:
            nbits -= 6
            out.append(ALPHABET[(bits >> nbits) & 63])
    if nbits:
        out.append(ALPHABET[(bits << (6 - nbits)) & 63])
    return "".join(out)

def key_number(data):
    value = 0
    for i in range(0, len(data) - len(data) % 4, 4):
        value |= int.from_bytes(data[i:i + 4], "big") << (32 * (i // 4))
    return value

e = n = d = None
k = None
for line in sys.stdin:
    kind, _, arg = line.strip().partition(" ")
    if kind == "pub":
        first, second = arg.split(":")
        e, n = key_number(b64decode(first)), key_number(b64decode(second))
        k = len(b64decode(second))
    elif kind == "priv":
        first, second = arg.split(":")
        n, d = key_number(b64decode(first)), key_number(b64decode(second))
        k = len(b64decode(first))
    elif kind == "enc":
        plain = bytes.fromhex(arg)
        b = k - 1
        pad = b - len(plain) % b
        plain += bytes([pad]) * pad
        out = bytearray()
        for i in range(0, len(plain), b):
            m = int.from_bytes(plain[i:i + b], "little")
            out += pow(m, e, n).to_bytes(k, "little")
        print(b64encode(bytes(out)))
    elif kind == "dec":
        data = b64decode(arg)
        out = bytearray()
        for i in range(0, len(data) - len(data) % k, k):
            c = int.from_bytes(data[i:i + k], "little")
            out += pow(c, d, n).to_bytes(k, "little")[:k - 1]
        pad = out[-1]
        print(bytes(out[:len(out) - pad]).hex() if pad <= len(out) else "")
    sys.stdout.flush()
