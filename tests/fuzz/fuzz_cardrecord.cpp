// Fuzzes the split of the card library's text record: any bytes give fields or nothing, never a read
// past the record, and a well-formed record of any values splits back into those values.
#include "fuzz_target.h"

#include "control/features/card_record.h"

#include <cstdlib>

using namespace qx::control;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray record(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // One pass, as the record has always been cleaned: "\r\r\n\n" keeps a CR LF.
    const QByteArray flat = withoutLineBreaks(record);
    if (flat.size() > record.size())
        std::abort();
    if (const auto fields = parseCardRecord(flat)) {
        // Each field is a part of the record: none can be longer than the record itself.
        for (const QString* f : {&fields->name, &fields->sex, &fields->nation, &fields->address,
                                 &fields->number, &fields->issue, &fields->validity})
            if (f->size() > flat.size())
                std::abort();
    }
    // The input's bytes (quotes, commas and line breaks taken out) as a name in a well-formed record.
    QByteArray name = record;
    name.replace('\'', "");
    name.replace('\r', "");
    name.replace('\n', "");
    const QByteArray wellFormed = "X:name='" + name +
                                  "',sex='ab',nation='n',birthday='1990-03-07',address='a',id='1',"
                                  "authority='i',validity='v',";
    const auto parsed = parseCardRecord(wellFormed);
    if (!parsed || parsed->nation != QLatin1String("n") || parsed->birthYear != QLatin1String("1990") ||
        parsed->validity != QLatin1String("v"))
        std::abort();
    return 0;
}
