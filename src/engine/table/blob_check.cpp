// The BLOB file's part of the table check: the header, the chain of every BLOB field of a live
// record (WalkChain), the free list, and every block of the file either in one chain or free.
#include <unordered_set>

#include "engine/blob/blob_file.h"
#include "engine/table/check_context.h"
#include "engine/table/data_file.h"
#include "engine/table/table_scan.h"

namespace tarnel {

namespace {

class TBlobChecker {
 public:
  explicit TBlobChecker(TCheckContext& context)
      : C(context), FTable(context.Table), FFile(*context.Table.BlobFile()), FHeader(FFile.Header()),
        FBlocks(context.Table) {}

  void Run() {
    CheckHeader();
    // The record whose chain holds each block (0 none, -1 on the free list).
    FOwner.assign(FBlocks.BlockCount(), 0);
    for (const TBlobReference& blob : C.Blobs) CheckChain(blob);
    CheckFreeList();
    AccountForBlocks();
  }

 private:
  void CheckHeader() {
    int64_t length = FFile.Seek(0, 2);
    uint32_t blockSize = FBlocks.BlockSize();
    if (FHeader.EndOfFile < kBlobHeaderSize || (FHeader.EndOfFile - kBlobHeaderSize) % blockSize != 0) {
      C.Add(FFile, "header", "EndOfFile " + std::to_string(FHeader.EndOfFile) + " is not a block boundary");
    } else if (length < FHeader.EndOfFile) {
      C.Add(FFile, "header", "EndOfFile " + std::to_string(FHeader.EndOfFile) + ", the file holds only " +
                                 std::to_string(length) + " bytes");
    } else if (length > FHeader.EndOfFile) {
      C.Add(FFile, "header", "the file is " + std::to_string(length) + " bytes long, EndOfFile is " +
                                 std::to_string(FHeader.EndOfFile));
    }
  }

  int32_t& OwnerOf(uint32_t offset) { return FOwner[static_cast<size_t>(FBlocks.IndexOf(offset))]; }

  void CheckChain(const TBlobReference& blob) {
    std::string where = RecordLocation(blob.RecordNo) + ", field " + FTable.GetFieldDesc(false, blob.FieldNo).FieldName;
    TChainWalk walk = WalkChain(FBlocks, blob.FirstBlock, blob.RecordNo, [this](uint32_t offset) {
      int32_t owner = OwnerOf(offset);
      return owner > 0 ? owner : 0;
    });
    for (uint32_t offset : walk.Blocks) OwnerOf(offset) = blob.RecordNo;
    C.Report.BlobBlocks += static_cast<int64_t>(walk.Blocks.size());
    if (!walk.Sound()) C.Add(FFile, where, walk.Problem);
    for (uint32_t offset : walk.HeaderFixes) {
      C.Add(FFile, where, "block " + std::to_string(offset) + ": its PrevBlock or TotalLength does not fit its place in the chain");
    }
  }

  void CheckFreeList() {
    std::unordered_set<uint32_t> visited;
    uint32_t offset = FHeader.FreeBlock == FHeader.EndOfFile ? 0 : FHeader.FreeBlock;
    while (offset != 0) {
      std::string where = "free list";
      if (FBlocks.IndexOf(offset) < 0) {
        C.Add(FFile, where, "leads to " + std::to_string(offset) + ", not a block of the file");
        return;
      }
      if (!visited.insert(offset).second) {
        C.Add(FFile, where, "runs back to block " + std::to_string(offset));
        return;
      }
      int32_t& owner = OwnerOf(offset);
      if (owner > 0) {
        C.Add(FFile, where, "holds block " + std::to_string(offset) + " of the chain of record " + std::to_string(owner));
        return;
      }
      owner = -1;
      offset = FBlocks.Read(offset).Header.NextBlock;
    }
  }

  void AccountForBlocks() {
    int64_t lost = 0;
    uint32_t first = 0;
    for (uint32_t index = 0; index < FOwner.size(); ++index) {
      if (FOwner[index] != 0) continue;
      if (lost++ == 0) first = FBlocks.OffsetOf(index);
    }
    if (lost > 0) {
      C.Add(FFile, "blocks", std::to_string(lost) + " block" + (lost == 1 ? " is" : "s are") +
                                 " in no chain and not on the free list, the first is block " + std::to_string(first));
    }
  }

  TCheckContext& C;
  TDataFile& FTable;
  TBlobFile& FFile;
  const TBlobHeader FHeader;
  TStoredBlocks FBlocks;
  std::vector<int32_t> FOwner;
};

}  // namespace

void CheckBlobs(TCheckContext& context) { TBlobChecker(context).Run(); }

}  // namespace tarnel
