// Outside bytes as the web server reads them: the colour record and upload records.
#include "web/records.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)tamovox::web::parseColourRecord({data, size});
    // The upload record is large and fixed; the input fills its tail, where the fields are.
    static std::vector<std::uint8_t> record(tamovox::web::kUploadRecordBytes);
    const std::size_t tail = size < 268 ? size : 268;
    std::copy(data, data + tail, record.end() - 268);
    (void)tamovox::web::parseUploadRecord(record);
    (void)tamovox::web::parseUploadRecord({data, size});
    return 0;
}
