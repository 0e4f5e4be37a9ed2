#include "media/engine/GraphBuilder.h"

#include "media/engine/LavfSource.h"

namespace kelvor::media {

bool GraphBuilder::Fail(std::string reason) {
    if (error_.empty())
        error_ = std::move(reason);
    return false;
}

bool GraphBuilder::add(const FilterPtr& filter, const std::string& name) {
    if (!filter)
        return Fail("no filter to add as " + name);
    const Status hr = graph_.AddFilter(filter, name);
    if (hr.failed())
        return Fail(name + " cannot be added to the graph (" + CodeText(hr.code()) + ")");
    return true;
}

bool GraphBuilder::Connect(OutputPin& out, InputPin& in, const MediaType* type) {
    return graph_.ConnectDirect(out, in, type) == Code::Ok;
}

bool GraphBuilder::ConnectMajor(OutputPin& out, InputPin& in, FourCC majorType) {
    MediaType major;
    major.majorType = majorType;
    return Connect(out, in, &major);
}

OutputPin* GraphBuilder::ConnectFirstOutput(BaseFilter& from, InputPin& in, const MediaType* type) {
    for (OutputPin* out : from.OutputPins())
        if (!out->IsConnected() && Connect(*out, in, type))
            return out;
    return nullptr;
}

std::optional<OpenedFile> OpenAviFile(GraphBuilder& builder, const std::string& path,
                                      std::shared_ptr<SplitterBase> splitter) {
    OpenedFile opened;
    opened.source = builder.Add(std::make_shared<FileSourceFilter>(), "File Source");
    if (!opened.source)
        return std::nullopt;
    if (opened.source->Load(path) != Code::Ok) {
        builder.Fail(opened.source->LoadError());
        return std::nullopt;
    }
    if (!splitter)
        splitter = std::dynamic_pointer_cast<SplitterBase>(CreateAviSplitter(path));
    opened.splitter = builder.Add(std::move(splitter), "AVI Splitter");
    if (!opened.splitter)
        return std::nullopt;
    if (!builder.Connect(opened.source->Output(), opened.splitter->Input())) {
        const std::string& why = opened.splitter->OpenError();
        builder.Fail(why.empty() ? path + ": not an AVI file that can be read" : why);
        return std::nullopt;
    }
    return opened;
}

}  // namespace kelvor::media
