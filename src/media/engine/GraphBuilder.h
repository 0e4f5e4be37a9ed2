// Building a graph by what its pins are rather than by their positions: adding filters, joining
// an output to an input, "the first output of this filter that that input accepts", and opening
// a file as a source with the splitter that reads it. A step that fails keeps its reason, so a
// builder can tell the user why a file cannot be processed.
//
// The builder does not own the graph. Driving thread only, while the graph is stopped.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media/engine/AviSource.h"
#include "media/engine/Graph.h"
#include "media/engine/Splitter.h"

namespace kelvor::media {

class GraphBuilder {
  public:
    explicit GraphBuilder(Graph& graph) : graph_(graph) {}

    Graph& graph() const { return graph_; }

    // Adds the filter under the name; nullptr (with a reason) when the graph refuses it.
    template <typename F>
    std::shared_ptr<F> Add(std::shared_ptr<F> filter, const std::string& name) {
        if (!add(filter, name))
            return nullptr;
        return filter;
    }

    // Joins two pins directly; with a type the input must take exactly it (a type with only a
    // major type takes any proposal of that major type).
    bool Connect(OutputPin& out, InputPin& in, const MediaType* type = nullptr);
    bool ConnectMajor(OutputPin& out, InputPin& in, FourCC majorType);
    // The first free output of `from`, in pin order, that `in` accepts, now connected to it;
    // nullptr when none does.
    OutputPin* ConnectFirstOutput(BaseFilter& from, InputPin& in, const MediaType* type = nullptr);
    // Disconnects a pin from its peer, both ends.
    void Disconnect(Pin& pin) { graph_.Disconnect(pin); }

    // The first reason a step failed; empty while every step worked.
    const std::string& Error() const { return error_; }
    // Records a reason unless one is already kept; always false, so `return Fail(...)` reads.
    bool Fail(std::string reason);

  private:
    bool add(const FilterPtr& filter, const std::string& name);

    Graph& graph_;
    std::string error_;
};

// A file source and the splitter reading it, in a graph and connected.
struct OpenedFile {
    std::shared_ptr<FileSourceFilter> source;
    std::shared_ptr<SplitterBase> splitter;
};

// Adds "File Source" and "AVI Splitter" for the file and connects them: the splitter given, or
// the one CreateAviSplitter chooses. No value (with the reason in the builder) when the file
// cannot be opened or the splitter refuses it.
std::optional<OpenedFile> OpenAviFile(GraphBuilder& builder, const std::string& path,
                                      std::shared_ptr<SplitterBase> splitter = nullptr);

}  // namespace kelvor::media
