#include "platform/vision/detection/landmark_model.h"

#include "platform/vision/detection/image_to_tensor.h"

namespace platform::vision {
Result<LandmarkModel> LandmarkModel::load(const LandmarkModelSettings& settings) {
  Result<PooledModel> model = PooledModel::open(settings.modelFile, settings.inputSize, settings.inputSize);
  if (!model) return model.error();
  Outputs outputs;
  Result<size_t> points = model.value().output(settings.pointsOutput, settings.rows * settings.valuesPerRow);
  if (!points) return points.error();
  outputs.points = points.value();
  Result<size_t> presence = model.value().output(settings.presenceOutput, 1);
  if (!presence) return presence.error();
  outputs.presence = presence.value();
  if (const std::optional<HeatmapRefinement>& heatmap = settings.heatmap) {
    const size_t cells = static_cast<size_t>(heatmap->size) * static_cast<size_t>(heatmap->size);
    Result<size_t> found = model.value().output(heatmap->output, cells * settings.rows);
    if (!found) return found.error();
    outputs.heatmap = found.value();
  }
  return LandmarkModel(settings, model.value(), outputs);
}

Result<std::optional<Landmarks>> LandmarkModel::run(const media::ImageView& image, const RotatedRect& area) const {
  Result<Landmarks> seen = look(image, area);
  if (!seen) return seen.error();
  if (!(seen.value().presence >= kMinLandmarkPresence)) return std::optional<Landmarks>();
  return std::optional<Landmarks>(std::move(seen).value());
}

Result<Landmarks> LandmarkModel::look(const media::ImageView& image, const RotatedRect& area) const {
  Result<nn::ModelPool::Lease> leased = model_.take();
  if (!leased) return leased.error();
  nn::ModelPool::Lease& model = leased.value();
  const int size = settings_.inputSize;
  if (Result<void> filled = imageToTensor(image, area, size, size, 0, 1, model->input(0), settings_.border); !filled)
    return filled.error();
  if (Result<void> ran = PooledModel::run(model); !ran) return ran.error();
  // The presence output already went through a sigmoid inside the model.
  const float presence = model->output(outputs_.presence)[0];

  std::vector<LandmarkPoint> points =
      decodeLandmarks({model->output(outputs_.points), settings_.rows * settings_.valuesPerRow}, settings_.rows,
                      settings_.valuesPerRow, settings_.visibilityValue, size, size);
  if (const std::optional<HeatmapRefinement>& refinement = settings_.heatmap) {
    const size_t values = static_cast<size_t>(refinement->size) * refinement->size * settings_.rows;
    const Heatmap heatmap{{model->output(outputs_.heatmap), values},
                          refinement->size,
                          refinement->size,
                          static_cast<int>(settings_.rows)};
    refineFromHeatmap(points, heatmap, refinement->kernelSize, refinement->minConfidence);
  }
  points.resize(settings_.keptPoints);
  projectFromCrop(points, area);
  return Landmarks{presence, std::move(points)};
}

}  // namespace platform::vision
