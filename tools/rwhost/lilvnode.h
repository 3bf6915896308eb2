// A lilv node made from a URI, freed with its owner.
#pragma once

#include <lilv/lilv.h>

class CNode {
public:
    CNode(LilvWorld* world, const char* uri) : node(lilv_new_uri(world, uri)) {}
    ~CNode() { lilv_node_free(node); }
    CNode(const CNode&) = delete;
    CNode& operator=(const CNode&) = delete;
    const LilvNode* get() const { return node; }

private:
    LilvNode* node;
};
