// Fuzzes the card's text block: any bytes decode, and valid text encodes back to the same fields.
#include "fuzz_target.h"

#include "qx/cardtext/card_text.h"

#include <cstdlib>

using namespace qx::cardtext;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray block(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CardText card = decodeTextBlock(block);
    const QByteArray encoded = encodeTextBlock(card);
    if (encoded.size() != kTextBlockSize)
        std::abort();
    const CardText again = decodeTextBlock(encoded);
    // Text that is valid UTF-16 survives the round trip; a lone surrogate at a field's end may be
    // dropped by the encoder, which never leaves half a pair at a field's edge.
    for (auto field : {&CardText::name, &CardText::number, &CardText::address, &CardText::validTo}) {
        if (QStringView(card.*field).isValidUtf16() && again.*field != card.*field)
            std::abort();
    }
    decodeField(block);
    return 0;
}
