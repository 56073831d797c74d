"""Character error rate of a text against the known text: edit distance over the reference's length,
white space left out (recognisers and pdftotext space CJK text differently), full-width punctuation
folded to its ASCII form."""
import sys
import unicodedata


def normal(text):
    text = unicodedata.normalize("NFKC", text)
    return "".join(c for c in text if not c.isspace())


def distance(a, b):
    previous = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        current = [i]
        for j, cb in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ca != cb)))
        previous = current
    return previous[-1]


reference = normal(open(sys.argv[1], encoding="utf-8").read())
hypothesis = normal(open(sys.argv[2], encoding="utf-8").read())
print("%.4f" % (distance(reference, hypothesis) / max(1, len(reference))))
