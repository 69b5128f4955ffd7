// The track part of project files.
#include "KvQmlController.h"

#include <KvFileProperties.h>
#include <KvQmlModel.h>
#include <KvTagArchive.h>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

#include <vector>

void KvQmlController::saveProjectTracks(boost::archive::text_oarchive &ar) const
{
    const KvQmlModel::FilePropertiesPtr list = m_model ? m_model->trackList() : nullptr;
    const int count = list ? int(list->tracks().size()) : 0;
    ar << count;
    if (list) {
        for (const KvTagPropertyPtr &track : list->tracks()) {
            ar.register_type<KvTagProperty>();
            const KvTagProperty *p = track.get();
            ar << p;
        }
    }
    ar.register_type<KvTagProperty>();
    const KvTagProperty *fileTags = m_model ? m_model->fileTagProperty().get() : nullptr;
    ar << fileTags;
}

void KvQmlController::loadProjectTracks(boost::archive::text_iarchive &ar, bool install)
{
    // A file may name one stored object twice; owning it twice would free it
    // twice, so such a file is refused. Everything read stays alive until the
    // end, so that no address is reused while it is being compared.
    std::vector<KvTagPropertyPtr> loaded;
    const auto readOne = [&ar, &loaded]() {
        ar.register_type<KvTagProperty>();
        if (auto *checked = dynamic_cast<KvTextIArchive *>(&ar))
            checked->expectPointer(typeid(KvTagProperty));
        KvTagProperty *raw = nullptr;
        ar >> raw;
        if (!raw)
            return KvTagPropertyPtr();
        for (const KvTagPropertyPtr &p : loaded)
            if (p.get() == raw)
                boost::serialization::throw_exception(boost::archive::archive_exception(
                    boost::archive::archive_exception::pointer_conflict));
        loaded.emplace_back(raw);
        return loaded.back();
    };

    int count = 0;
    ar >> count;
    KvQmlModel::FilePropertiesPtr list;
    if (install && m_model) {
        list.reset(new KvFileProperties(this));
        m_model->setTrackList(list);
    }
    for (int i = 0; i < count; ++i) {
        const KvTagPropertyPtr track = readOne();
        // Null entries are dropped: every user of the list expects a track.
        if (list)
            list->appendTrack(track);
    }
    const KvTagPropertyPtr fileTags = readOne();
    if (install && m_model)
        m_model->setFileTagProperty(fileTags);
}
