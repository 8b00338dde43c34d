#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "commkit/bp/bp_exports.h"

namespace {

// The DLL frame adds these rows to its export table; a wrong ordinal breaks
// every client that calls by ordinal.
TEST(BpExports, TableHoldsEveryFunctionAtItsOrdinal) {
  const std::map<unsigned, std::string> expected = {{90, "BpFreeBuffers"},
                                                    {91, "BpGetBuffer"},
                                                    {92, "BpPutBuffer"},
                                                    {93, "BpNegotiate"},
                                                    {94, "BpCreate"},
                                                    {95, "BpSetWindow"},
                                                    {96, "BpInit"},
                                                    {97, "BpReset"},
                                                    {98, "BpGetBuffer"},
                                                    {99, "BpTakePacket"},
                                                    {100, "BpSendWait"},
                                                    {101, "BpRestart"},
                                                    {102, "BpRelease"},
                                                    {103, "BpSendFailure"},
                                                    {104, "BpSendPacket"},
                                                    {105, "BpCheckAckTimer"},
                                                    {106, "BpFeed"},
                                                    {107, "BpFailureText"},
                                                    {112, "BpQueueReset"},
                                                    {113, "BpQueueFree"},
                                                    {114, "BpQueueFeed"},
                                                    {115, "BpQueueSend"},
                                                    {116, "BpQueueCount"},
                                                    {117, "BpQueueFirstLength"},
                                                    {118, "BpQueueTake"},
                                                    {119, "BpErrorText"},
                                                    {130, "BpTransferCreate"},
                                                    {131, "BpTransferFree"},
                                                    {132, "BpTransferRun"},
                                                    {133, "BpTransferReadPacket"},
                                                    {134, "BpTransferEngine"},
                                                    {135, "BpTransferDone"},
                                                    {136, "BpSetPacketSize"},
                                                    {140, "BpReceiverRun"},
                                                    {141, "BpReceiverCreate"},
                                                    {142, "BpReceiverFree"},
                                                    {220, "QvxBpStart"},
                                                    {221, "QvxBpSend"},
                                                    {222, "QvxBpReceive"},
                                                    {223, "QvxBpClose"},
                                                    {224, "QvxBpSetVersion"},
                                                    {225, "QvxBpSetWindow"},
                                                    {228, "QvxBpErrorText"}};
  ASSERT_EQ(kBpExportCount, expected.size());
  std::set<unsigned> seen;
  std::map<std::string, void*> functionOf;
  for (size_t i = 0; i < kBpExportCount; ++i) {
    const BpExportEntry& row = kBpExports[i];
    EXPECT_TRUE(seen.insert(row.ordinal).second) << "ordinal twice: " << row.ordinal;
    ASSERT_TRUE(expected.count(row.ordinal)) << row.ordinal;
    EXPECT_EQ(expected.at(row.ordinal), row.name);
    EXPECT_NE(row.function, nullptr);
    auto [it, fresh] = functionOf.emplace(row.name, row.function);
    if (!fresh) {
      EXPECT_EQ(it->second, row.function) << row.name;  // 91 and 98 are one function
    }
  }
}

}  // namespace
