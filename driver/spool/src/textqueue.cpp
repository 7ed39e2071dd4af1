#include "textqueue.h"

#include "common/jobstream.h"

#include <cstdlib>
#include <cstring>

bool QueueText(SPLJOB* job, const BYTE* record, DWORD size) noexcept {
    if (size < sizeof(TextRecordHeader)) return false;
    TextRecordHeader header;
    std::memcpy(&header, record, sizeof(header));
    auto* node = static_cast<TextNode*>(std::malloc(sizeof(TextNode)));
    auto* copy = static_cast<BYTE*>(std::malloc(size));
    if (!node || !copy) {
        std::free(node);
        std::free(copy);
        return false;
    }
    std::memcpy(copy, record, size);
    *node = TextNode{header.x0, header.y0, copy, size, nullptr};

    TextNode** link = &job->text_queue;
    while (*link && ((*link)->top < node->top || ((*link)->top == node->top && (*link)->x <= node->x)))
        link = &(*link)->next;
    node->next = *link;
    *link = node;
    return true;
}

TextNode* PopText(SPLJOB* job) noexcept {
    TextNode* head = job->text_queue;
    if (head) job->text_queue = head->next;
    return head;
}

void FreeTextNode(TextNode* node) noexcept {
    if (!node) return;
    std::free(node->record);
    std::free(node);
}

void ClearTextQueue(SPLJOB* job) noexcept {
    while (TextNode* node = PopText(job)) FreeTextNode(node);
}
