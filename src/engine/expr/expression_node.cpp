#include "engine/expr/expression_node.h"

namespace tarnel {

TExpressionNode::~TExpressionNode() {
  // Long chains through Right (IN lists) are taken apart one by one, not by recursion.
  while (Right && !Right->Left) {
    std::unique_ptr<TExpressionNode> next = std::move(Right->Right);
    Right = std::move(next);
  }
}

TExpressionPtr CopyExpression(const TExpressionNode* node) {
  if (node == nullptr) return nullptr;
  auto copy = std::make_unique<TExpressionNode>();
  copy->Name = node->Name;
  copy->NodeKind = node->NodeKind;
  copy->Operator = node->Operator;
  copy->IndexUse = node->IndexUse;
  copy->JoinKind = node->JoinKind;
  copy->ColumnName = node->ColumnName;
  copy->FieldNo = node->FieldNo;
  copy->TableName = node->TableName;
  copy->Source = node->Source;
  copy->Value = node->Value;
  copy->IsNull = node->IsNull;
  copy->IsParam = node->IsParam;
  copy->PartialLength = node->PartialLength;
  copy->CaseInsensitive = node->CaseInsensitive;
  copy->DataType = node->DataType;
  copy->SubType = node->SubType;
  copy->Size = node->Size;
  copy->Scale = node->Scale;
  copy->FromString = node->FromString;
  copy->SavedType = node->SavedType;
  copy->SavedSubType = node->SavedSubType;
  copy->SavedSize = node->SavedSize;
  copy->SavedScale = node->SavedScale;
  copy->Left = CopyExpression(node->Left.get());
  copy->Right = CopyExpression(node->Right.get());
  return copy;
}

}  // namespace tarnel
