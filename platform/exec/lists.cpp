// exec lists: a head and a tail sentinel, so insertion and removal need no
// special cases; a node is removed through its own neighbour links.
#include "platform/exec/exec.h"

namespace os {

void NewList(List* list) {
    list->lh_Head.ln_Succ = &list->lh_Tail;
    list->lh_Head.ln_Pred = nullptr;
    list->lh_Tail.ln_Succ = nullptr;
    list->lh_Tail.ln_Pred = &list->lh_Head;
}

void AddHead(List* list, Node* node) {
    Node* first = list->lh_Head.ln_Succ;
    node->ln_Succ = first;
    node->ln_Pred = &list->lh_Head;
    first->ln_Pred = node;
    list->lh_Head.ln_Succ = node;
}

void AddTail(List* list, Node* node) {
    Node* last = list->lh_Tail.ln_Pred;
    node->ln_Succ = &list->lh_Tail;
    node->ln_Pred = last;
    last->ln_Succ = node;
    list->lh_Tail.ln_Pred = node;
}

void Remove(Node* node) {
    if (node == nullptr || node->ln_Succ == nullptr || node->ln_Pred == nullptr) return;
    node->ln_Pred->ln_Succ = node->ln_Succ;
    node->ln_Succ->ln_Pred = node->ln_Pred;
    // A removed node links nowhere, so removing it twice is harmless.
    node->ln_Succ = nullptr;
    node->ln_Pred = nullptr;
}

Node* RemHead(List* list) {
    if (IsListEmpty(list)) return nullptr;
    Node* first = list->lh_Head.ln_Succ;
    Remove(first);
    return first;
}

bool IsListEmpty(const List* list) { return list->lh_Head.ln_Succ == &list->lh_Tail; }

}  // namespace os
