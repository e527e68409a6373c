#include "engine/expr/expression_node.h"

#include <initializer_list>
#include <utility>

namespace tarnel {

TExpressionNode::~TExpressionNode() {
  // Taken apart without recursion, however deep the tree: a node with a left child is rotated
  // so that the child comes up and the node moves into the child's right spine; a node without
  // one is freed childless, its right child taking its place.
  for (TExpressionPtr* child : {&Left, &Right}) {
    TExpressionPtr pending = std::move(*child);
    while (pending) {
      if (pending->Left) {
        TExpressionPtr left = std::move(pending->Left);
        pending->Left = std::move(left->Right);
        left->Right = std::move(pending);
        pending = std::move(left);
      } else {
        pending = std::move(pending->Right);
      }
    }
  }
}

TExpressionPtr CopyNode(const TExpressionNode& node) {
  auto copy = std::make_unique<TExpressionNode>();
  copy->Name = node.Name;
  copy->NodeKind = node.NodeKind;
  copy->Operator = node.Operator;
  copy->IndexUse = node.IndexUse;
  copy->JoinKind = node.JoinKind;
  copy->ColumnName = node.ColumnName;
  copy->FieldNo = node.FieldNo;
  copy->TableName = node.TableName;
  copy->Source = node.Source;
  copy->Value = node.Value;
  copy->IsNull = node.IsNull;
  copy->IsParam = node.IsParam;
  copy->PartialLength = node.PartialLength;
  copy->CaseInsensitive = node.CaseInsensitive;
  copy->DataType = node.DataType;
  copy->SubType = node.SubType;
  copy->Size = node.Size;
  copy->Scale = node.Scale;
  copy->FromString = node.FromString;
  copy->SavedType = node.SavedType;
  copy->SavedSubType = node.SavedSubType;
  copy->SavedSize = node.SavedSize;
  copy->SavedScale = node.SavedScale;
  return copy;
}

TExpressionPtr CopyExpression(const TExpressionNode* node) {
  // The right spine (IN lists of any length) is copied in a loop; only left children recurse.
  TExpressionPtr head;
  TExpressionPtr* slot = &head;
  for (; node != nullptr; node = node->Right.get()) {
    *slot = CopyNode(*node);
    (*slot)->Left = CopyExpression(node->Left.get());
    slot = &(*slot)->Right;
  }
  return head;
}

}  // namespace tarnel
